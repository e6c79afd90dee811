// The module whose images the tests read: the test program itself on Windows
// (it carries the resources), the built-in table elsewhere.
#pragma once

void* ImageModule();
