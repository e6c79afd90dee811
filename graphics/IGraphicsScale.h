// The editor's sizes: the layout is in design pixels, and the editor draws it
// at 100 %, 150 % or 200 % with artwork drawn for each size. Window layers
// and hosts see device pixels; controls only ever see design pixels.
#pragma once

#include "graphics/IGraphicsTypes.h"

constexpr int kEditorScaleCount = 3;
constexpr int kEditorScalePercents[kEditorScaleCount] = {100, 150, 200};

// The size nearest to a factor a host or a screen asks for: 1.25 and above
// take 150 %, 1.75 and above 200 %. Anything else (zero, NaN) is 100 %.
double SnapEditorScale(double factor);
// 100, 150, 200 to 1, 1.5, 2; anything else is 0 (no size).
double ScaleFromPercent(int percent);
int PercentFromScale(double scale);
// A screen's dots per inch as a size, 96 dpi being 100 %; 0 when unknown.
double ScaleFromDpi(double dpi);

// A design coordinate on the device, rounded half up so that edges shared by
// two rectangles land on the same pixel.
int ToDevice(int v, double scale);
IRect ToDevice(const IRect& r, double scale);
// The design rectangle that covers a device rectangle.
IRect ToDesignCover(const IRect& r, double scale);
// The design pixel under a device pixel.
int ToDesign(int v, double scale);

// The resource id of an editor image at a size: the 100 % images are 1-5, the
// 150 % ones 11-15, the 200 % ones 21-25.
int ScaledImageId(int id, double scale);
