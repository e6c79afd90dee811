#include "product/ParamDisplays.h"

#include <cstdio>

#include "dsp/PortableMath.h"
#include "framework/IParameter.h"
#include "product/DivisionTables.h"

void RangeText(double value, char* text) {
  // 0.25^(4 - value), through the portable 2^x so every target prints alike.
  double a = qvmath::Exp2(-2.0 * (4.0 - value));
  std::snprintf(text, kParamTextSize, "%.0f-%.0f", a * 2000.0 * 0.125, a * 2000.0);
}

void PercentText(double value, char* text) {
  std::snprintf(text, kParamTextSize, value < 0.1 ? "%0.1f%s" : "%.0f%s", value * 100.0, "%");
}

void HzText(double value, char* text) { std::snprintf(text, kParamTextSize, "%.2f%s", value, "Hz"); }

int LfoDivisionTextRow(double value) {
  double row = qvmath::Round(value / 24.999 * 19.0);
  if (!(row >= 0.0)) return 0;  // NaN too
  return row > kDivisionRows - 1 ? kDivisionRows - 1 : static_cast<int>(row);
}

void LfoDivisionText(double value, char* text) {
  std::snprintf(text, kParamTextSize, "%s", kLfoDivisions[LfoDivisionTextRow(value)].name);
}

void MixText(double value, char* text) {
  if (value == 0.0)
    std::snprintf(text, kParamTextSize, "Dry");
  else if (value == 1.0)
    std::snprintf(text, kParamTextSize, "Wet");
  else
    std::snprintf(text, kParamTextSize, "%.0f:%.0f", (1.0 - value) * 100.0, value * 100.0);
}

void SwitchText(double value, char* text) { std::snprintf(text, kParamTextSize, value < 0.5 ? "OFF" : "ON"); }
