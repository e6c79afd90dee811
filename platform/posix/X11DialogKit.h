// What our own menus and message boxes share: the interface font, a few
// drawing primitives on raster bitmaps, and the modal event loop that runs
// on the host's user-interface thread while one of them is open.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>

#include "raster/RasterBitmap.h"
#include "raster/RasterFont.h"

class RasterCachedFont;
class X11Connection;

namespace x11kit {

// Interface colours, 0xAARRGGBB.
constexpr uint32_t kFace = 0xFFF0F0F0;
constexpr uint32_t kFrame = 0xFF808080;
constexpr uint32_t kText = 0xFF000000;
constexpr uint32_t kGreyText = 0xFF9A9A9A;
constexpr uint32_t kHighlight = 0xFF3875D7;
constexpr uint32_t kHighlightText = 0xFFFFFFFF;
constexpr uint32_t kButton = 0xFFE1E1E1;
constexpr uint32_t kButtonPressed = 0xFFC4C4C4;

// The process's interface font (created on first use); null when no font
// could be had, in which case text is left out.
// scale: the editor's size (1, 1.5, 2), by which text and metrics grow.
RasterCachedFont* UiFont(double scale = 1.0);
int UiLineHeight(double scale = 1.0);
// A metric of the 100 % layout at the scale.
int Px(int v, double scale);

void Fill(RasterBitmap* bitmap, int left, int top, int right, int bottom, uint32_t color);
void Frame(RasterBitmap* bitmap, int left, int top, int right, int bottom, uint32_t color);
void CheckMark(RasterBitmap* bitmap, int x, int y, uint32_t color, double scale = 1.0);
// Text in rect with the font's format bits (kRasterDt*); returns the width
// and height it needs when measure is set, drawing nothing.
void Text(RasterBitmap* bitmap, const std::string& text, RasterRect rect, uint32_t color, uint32_t format,
          double scale = 1.0);
void Measure(const std::string& text, uint32_t format, int* width, int* height, double scale = 1.0);
// Tabs become spaces up to the next multiple of four columns.
std::string ExpandTabs(const std::string& text);

// Runs until handle() returns false, stop() returns true or the connection
// dies. handle gets every event of the connection. Waits in poll() so that
// stop() is asked at least every 50 ms.
void RunModal(X11Connection* connection, const std::function<bool(XEvent&)>& handle,
              const std::function<bool()>& stop);

// The client top-level window (the one with WM_STATE) that holds window,
// or the root's child above it; 0 when none.
Window TopLevelOf(Display* display, Window window);

}  // namespace x11kit
