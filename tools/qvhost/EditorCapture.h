// The editor as a picture: opens the plug-in's editor in a window of our own,
// gives it about 300 ms of idle calls to paint, reads its pixels back and
// closes it again. Each platform has its half (EditorCapture_posix.cpp,
// EditorCapture_win.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/host/TestHost.h"

// pixels: width x height values 0x00RRGGBB, row by row from the top.
bool CaptureEditor(TestHost& host, int width, int height, std::vector<uint32_t>* pixels, std::string* error);
