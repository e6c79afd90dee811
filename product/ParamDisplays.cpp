#include "product/ParamDisplays.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

namespace {
const char* SkipBlanks(const char* p) {
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// A number at p; false when there is none. end is left after it.
bool ReadNumber(const char* p, double* value, const char** end) {
  char* stop = nullptr;
  double v = std::strtod(p, &stop);
  if (stop == p || !std::isfinite(v)) return false;
  *value = v;
  *end = stop;
  return true;
}

// The same text but for case and surrounding blanks.
bool SameWord(const char* typed, const char* word) {
  typed = SkipBlanks(typed);
  while (*word && std::tolower(static_cast<unsigned char>(*typed)) == std::tolower(static_cast<unsigned char>(*word))) {
    ++typed;
    ++word;
  }
  return !*word && !*SkipBlanks(typed);
}
}  // namespace

bool RangeParse(const char* text, double* value) {
  for (int k = 0; k <= 4; ++k) {
    char shown[kParamTextSize];
    RangeText(k, shown);
    if (SameWord(text, shown)) {
      *value = k;
      return true;
    }
  }
  return false;
}

bool PercentParse(const char* text, double* value) {
  double v = 0;
  const char* end = nullptr;
  if (!ReadNumber(SkipBlanks(text), &v, &end)) return false;
  end = SkipBlanks(end);
  if (*end != '%' || *SkipBlanks(end + 1)) return false;
  *value = v / 100.0;
  return true;
}

bool MixParse(const char* text, double* value) {
  if (SameWord(text, "Dry")) {
    *value = 0.0;
    return true;
  }
  if (SameWord(text, "Wet")) {
    *value = 1.0;
    return true;
  }
  double dry = 0, wet = 0;
  const char* end = nullptr;
  if (!ReadNumber(SkipBlanks(text), &dry, &end)) return false;
  end = SkipBlanks(end);
  if (*end != ':' || !ReadNumber(SkipBlanks(end + 1), &wet, &end) || *SkipBlanks(end)) return false;
  if (!(dry >= 0 && wet >= 0 && dry + wet > 0)) return false;
  *value = wet / (dry + wet);
  return true;
}
