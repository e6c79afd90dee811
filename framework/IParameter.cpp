#include "framework/IParameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

void CopyText(char* dst, const char* src, int size) {
  if (!dst || size <= 0) return;
  if (!src) src = "";
  size_t n = strnlen(src, static_cast<size_t>(size - 1));
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

double ShapePower(double x, double e) {
  if (e == 1.0) return x;
  if (e == 2.0) return x * x;
  if (e == 0.5) return std::sqrt(x);
  return std::pow(x, e);
}

void IParameter::DefineDouble(const char* name, double defaultValue, double minValue, double maxValue,
                              double step, double shape) {
  if (mType == kTypeNone) mType = kTypeDouble;
  CopyText(mName, name, kParamTextSize);
  mLabel[0] = '\0';
  mMin = minValue;
  mValue = defaultValue;
  mStep = step;
  mDefault = defaultValue;
  mPrecision = 0;
  mMax = std::max(maxValue, minValue + step);
  double s = step;
  while (s != std::floor(s) && mPrecision < 6) {
    ++mPrecision;
    s *= 10.0;
  }
  if (shape != 0.0) mShape = shape;
}

void IParameter::DefineInt(const char* name, int defaultValue, int minValue, int maxValue) {
  if (mType == kTypeNone) mType = kTypeInt;
  DefineDouble(name, defaultValue, minValue, maxValue, 1.0, 1.0);
}

void IParameter::DefineBool(const char* name) {
  if (mType == kTypeNone) mType = kTypeBool;
  DefineDouble(name, 0.0, 0.0, 1.0, 1.0, 1.0);
  AddDisplayText(0, "off");
  AddDisplayText(1, "on");
}

void IParameter::AddDisplayText(int value, const char* text) {
  IDisplayText entry{};
  entry.value = value;
  CopyText(entry.text, text, kParamTextSize);
  mDisplayTexts.push_back(entry);
}

void IParameter::SetLabel(const char* label) { CopyText(mLabel, label, kParamTextSize); }

void IParameter::SetFromNormalized(double x) {
  if (std::isnan(x)) return;  // a NaN from a host must not reach the signal code
  x = ClampNormalized(x);
  double v = ShapePower(x, mShape) * (mMax - mMin) + mMin;
  if (mType != kTypeDouble) v = std::floor(v / mStep + 0.5) * mStep;
  mValue = std::min(v, mMax);
}

double IParameter::Normalized(double v) const {
  double c = v < mMin ? mMin : std::min(mMax, v);
  return ShapePower((c - mMin) / (mMax - mMin), 1.0 / mShape);
}

double IParameter::FromNormalized(double x) const {
  return ShapePower(ClampNormalized(x), mShape) * (mMax - mMin) + mMin;
}

double ClampNormalized(double x) { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }

void IParameter::SetClamped(double v) {
  if (std::isnan(v)) v = mMin;  // damaged chunks and texts must not reach the signal code
  mValue = v < mMin ? mMin : std::min(mMax, v);
}

const IDisplayText* IParameter::FindDisplayText(double v) const {
  // Values beyond the int range have no display text (and must not overflow the cast).
  if (!(v > -2147483648.0 && v < 2147483648.0)) return nullptr;
  int key = static_cast<int>(v);
  for (const IDisplayText& entry : mDisplayTexts)
    if (entry.value == key) return &entry;
  return nullptr;
}

void IParameter::FormatValue(double v, bool isNormalized, char* text, bool useDisplayTexts) const {
  if (isNormalized) v = FromNormalized(v);
  if (DisplayFunction display = displayFunction.load()) {
    // The function's text goes through a field-sized buffer, so a long text is cut, not overrun.
    char buffer[256] = {0};
    display(v, buffer);
    CopyText(text, buffer, kParamTextSize);
    return;
  }
  if (useDisplayTexts && !mDisplayTexts.empty()) {
    const IDisplayText* entry = FindDisplayText(v);
    if (entry && entry->text[0]) {
      CopyText(text, entry->text, kParamTextSize);
      return;
    }
  }
  if (mNegateDisplay) v = -v;
  if (mPrecision == 0) {
    // Truncation toward zero, saturated where the value leaves the int range.
    long long whole = std::isnan(v) ? 0 : static_cast<long long>(std::max(-2147483648.0, std::min(2147483647.0, v)));
    std::snprintf(text, kParamTextSize, "%d", static_cast<int>(whole));
  } else {
    std::snprintf(text, kParamTextSize, "%.*f", mPrecision, v);
  }
}

const char* IParameter::LabelForValue() const {
  if (mDisplayTexts.empty()) return mLabel;
  const IDisplayText* entry = FindDisplayText(mValue);
  if (entry && entry->text[0]) return "";
  return mLabel;
}
