#include "graphics/IGraphicsScale.h"

#include <cmath>

double SnapEditorScale(double factor) {
  if (factor >= 1.75) return 2.0;
  if (factor >= 1.25) return 1.5;
  return 1.0;
}

double ScaleFromPercent(int percent) {
  switch (percent) {
    case 100: return 1.0;
    case 150: return 1.5;
    case 200: return 2.0;
    default: return 0.0;
  }
}

int PercentFromScale(double scale) { return static_cast<int>(std::lround(scale * 100.0)); }

double ScaleFromDpi(double dpi) {
  if (!(dpi > 0.0) || dpi > 10000.0) return 0.0;
  return SnapEditorScale(dpi / 96.0);
}

int ToDevice(int v, double scale) { return static_cast<int>(std::floor(v * scale + 0.5)); }

IRect ToDevice(const IRect& r, double scale) {
  if (scale == 1.0 || r.Empty()) return r;
  return IRect(ToDevice(r.L, scale), ToDevice(r.T, scale), ToDevice(r.R, scale), ToDevice(r.B, scale));
}

IRect ToDesignCover(const IRect& r, double scale) {
  if (scale == 1.0 || r.Empty()) return r;
  return IRect(static_cast<int>(std::floor(r.L / scale)), static_cast<int>(std::floor(r.T / scale)),
               static_cast<int>(std::ceil(r.R / scale)), static_cast<int>(std::ceil(r.B / scale)));
}

int ToDesign(int v, double scale) {
  return scale == 1.0 ? v : static_cast<int>(std::floor(v / scale));
}

int ScaledImageId(int id, double scale) {
  if (scale == 1.5) return id + 10;
  if (scale == 2.0) return id + 20;
  return id;
}
