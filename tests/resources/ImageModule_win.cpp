#include "tests/resources/ImageModule.h"

#include <windows.h>

void* ImageModule() { return GetModuleHandleW(nullptr); }
