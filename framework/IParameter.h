// One automatable value: a named number with a kind, a range, a step, a
// power-curve shape and rules for showing it as text. Hosts and the editor
// see it normalised to 0..1; signal code and state chunks see the plain value.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

enum ParamType : int32_t { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

// Fills text (room for kParamTextSize bytes) with the display text of a plain value.
using DisplayFunction = void (*)(double value, char* text);
// Reads a text in the display's own form into a plain value; false when the
// text is not in that form.
using ParseFunction = bool (*)(const char* text, double* value);

constexpr int kParamTextSize = 32;  // 31 characters and a terminator

struct IDisplayText {
  int32_t value;
  char text[kParamTextSize];
};

// An atomic function pointer that parameters can still be copied with.
class AtomicDisplayFunction {
 public:
  AtomicDisplayFunction() = default;
  AtomicDisplayFunction(const AtomicDisplayFunction& o) : mF(o.load()) {}
  AtomicDisplayFunction& operator=(const AtomicDisplayFunction& o) {
    mF.store(o.load());
    return *this;
  }
  AtomicDisplayFunction& operator=(DisplayFunction f) {
    mF.store(f);
    return *this;
  }
  DisplayFunction load() const { return mF.load(); }

 private:
  std::atomic<DisplayFunction> mF{nullptr};
};

class IParameter {
 public:
  // Swapped by the product from the audio thread (LFO sync by a controller)
  // while the editor formats read-outs with it: atomic.
  AtomicDisplayFunction displayFunction;
  ParseFunction parseFunction = nullptr;

  void DefineDouble(const char* name, double defaultValue, double minValue, double maxValue, double step,
                    double shape = 1.0);
  void DefineInt(const char* name, int defaultValue, int minValue, int maxValue);
  void DefineBool(const char* name);
  void AddDisplayText(int value, const char* text);

  // x outside 0..1 counts as the nearer end; NaN is ignored.
  void SetFromNormalized(double x);
  double Normalized() const { return Normalized(mValue); }
  double Normalized(double v) const;
  double FromNormalized(double x) const;
  // Stores a plain value clamped to [min, max], without step rounding
  // (chunks, text entry from the host).
  void SetClamped(double v);

  // Writes the display text (at most 31 characters) into text.
  void FormatValue(double v, bool isNormalized, char* text, bool useDisplayTexts) const;
  const char* LabelForValue() const;
  const char* Name() const { return mName; }
  const char* Label() const { return mLabel; }

  ParamType Type() const { return mType; }
  double Value() const { return mValue; }
  void SetValue(double v) { mValue = v; }
  double Min() const { return mMin; }
  double Max() const { return mMax; }
  double Step() const { return mStep; }
  double Shape() const { return mShape; }
  double Default() const { return mDefault; }
  int Precision() const { return mPrecision; }
  bool NegateDisplay() const { return mNegateDisplay; }
  void SetNegateDisplay(bool negate) { mNegateDisplay = negate; }
  void SetLabel(const char* label);
  int NDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  const IDisplayText& DisplayTextAt(int i) const { return mDisplayTexts[static_cast<size_t>(i)]; }
  // The first display text whose value equals the integer part of v, or null.
  const IDisplayText* FindDisplayText(double v) const;

 private:
  ParamType mType = kTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int32_t mPrecision = 0;
  char mName[kParamTextSize] = {0};
  char mLabel[kParamTextSize] = {0};
  bool mNegateDisplay = false;
  std::vector<IDisplayText> mDisplayTexts;
};

// x raised to the power e; exact for the shapes in use (1, 2 and 1/2), so
// every target rounds parameter conversions alike.
double ShapePower(double x, double e);

// x limited to 0..1; NaN passes (callers decide what it means).
double ClampNormalized(double x);

// Copies at most size - 1 characters and always terminates.
void CopyText(char* dst, const char* src, int size);
