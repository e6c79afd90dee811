#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "framework/IParameter.h"

namespace {
std::string Text(const IParameter& p, double v, bool normalized = false, bool useTexts = true) {
  char text[kParamTextSize + 8];
  std::memset(text, 'x', sizeof(text));
  p.FormatValue(v, normalized, text, useTexts);
  return text;
}
}  // namespace

TEST(IParameter, BoolRoundsHalfUpAndShowsItsNames) {
  IParameter p;
  p.DefineBool("Switch");
  EXPECT_EQ(p.Type(), kTypeBool);
  p.SetFromNormalized(0.49);
  EXPECT_EQ(p.Value(), 0.0);
  EXPECT_EQ(Text(p, p.Value()), "off");
  p.SetFromNormalized(0.5);
  EXPECT_EQ(p.Value(), 1.0);
  EXPECT_EQ(Text(p, p.Value()), "on");
  EXPECT_STREQ(p.LabelForValue(), "");
}

TEST(IParameter, StepRoundingOnlyForWholeKinds) {
  IParameter i;
  i.DefineInt("Range", 3, 0, 4);
  EXPECT_EQ(i.Type(), kTypeInt);
  i.SetFromNormalized(0.3);
  EXPECT_EQ(i.Value(), 1.0);

  IParameter d;
  d.DefineDouble("Speed", 0.15, 0.001, 25.0, 0.01, 2.0);
  d.SetFromNormalized(0.5);
  EXPECT_EQ(d.Value(), 0.25 * (25.0 - 0.001) + 0.001);
  // Upper clamp only.
  d.SetFromNormalized(1.5);
  EXPECT_EQ(d.Value(), 25.0);
  // A NaN from a host leaves the value alone.
  d.SetFromNormalized(NAN);
  EXPECT_EQ(d.Value(), 25.0);
}

TEST(IParameter, NormalisationClampsAndInvertsTheShape) {
  IParameter p;
  p.DefineDouble("Depth", 0.0, 0.0, 1.0, 0.01, 2.0);
  EXPECT_EQ(p.Normalized(-1.0), 0.0);
  EXPECT_EQ(p.Normalized(2.0), 1.0);
  EXPECT_EQ(p.Normalized(0.25), 0.5);
  EXPECT_EQ(p.FromNormalized(0.5), 0.25);
  for (double x = 0.0; x <= 1.0; x += 0.125) EXPECT_DOUBLE_EQ(p.Normalized(p.FromNormalized(x)), x);
  // Normalised input outside 0..1 counts as the nearer end, never beyond.
  IParameter feedback;
  feedback.DefineDouble("Feedback", 0.0, -1.0, 1.0, 0.01);
  feedback.SetFromNormalized(-1.0);
  EXPECT_EQ(feedback.Value(), -1.0);
  feedback.SetFromNormalized(1e30);
  EXPECT_EQ(feedback.Value(), 1.0);
  EXPECT_EQ(feedback.FromNormalized(-5.0), -1.0);
  EXPECT_EQ(p.FromNormalized(-1e30), 0.0) << "a negative base for the square shape";
  IParameter range;
  range.DefineInt("Range", 3, 0, 4);
  range.SetFromNormalized(-1e30);
  EXPECT_EQ(range.Value(), 0.0);
}

TEST(IParameter, DefinitionDerivesPrecisionAndKeepsRangeValid) {
  IParameter p;
  p.DefineDouble("Time", 0.6, 0.0, 1.0, 0.001);
  EXPECT_EQ(p.Precision(), 3);
  EXPECT_EQ(Text(p, 0.6), "0.600");
  IParameter q;
  q.DefineDouble("Odd", 0.0, 0.0, 1.0, 1e-9);
  EXPECT_EQ(q.Precision(), 6);
  IParameter r;
  r.DefineDouble("Narrow", 5.0, 5.0, 4.0, 1.0);
  EXPECT_EQ(r.Max(), 6.0);
  IParameter s;
  s.DefineDouble("Flat", 0.0, 0.0, 1.0, 0.1, 0.0);
  EXPECT_EQ(s.Shape(), 1.0) << "a zero shape keeps the previous one";
  // The outermost initialiser decides the kind.
  IParameter b;
  b.DefineBool("B");
  b.DefineDouble("B2", 0, 0, 1, 1);
  EXPECT_EQ(b.Type(), kTypeBool);
}

TEST(IParameter, TextsTruncateTowardZeroAndHonourTheirOrder) {
  IParameter p;
  p.DefineDouble("Whole", 0.0, -10.0, 10.0, 1.0);
  EXPECT_EQ(Text(p, -1.7), "-1");
  EXPECT_EQ(Text(p, 1e300), "2147483647");
  p.SetNegateDisplay(true);
  EXPECT_EQ(Text(p, 3.0), "-3");

  // An empty display text falls through to the number and the label shows.
  IParameter e;
  e.DefineInt("Mode", 0, 0, 3);
  e.SetLabel("steps");
  e.AddDisplayText(0, "");
  e.AddDisplayText(1, "one");
  EXPECT_EQ(Text(e, 0.0), "0");
  EXPECT_STREQ(e.LabelForValue(), "steps");
  e.SetValue(1.0);
  EXPECT_EQ(Text(e, 1.0), "one");
  EXPECT_STREQ(e.LabelForValue(), "");
  EXPECT_EQ(Text(e, 1.0, false, false), "1");

  // A display function replaces everything else, and is cut to the field size.
  e.displayFunction = [](double, char* text) { std::strcpy(text, "a text far longer than thirty-one characters"); };
  EXPECT_EQ(Text(e, 1.0), std::string("a text far longer than thirty-one characters").substr(0, 31));
}

TEST(IParameter, NamesAndLabelsAreCutToTheirFields) {
  IParameter p;
  p.DefineDouble("A name that is much longer than the field allows", 0, 0, 1, 0.1);
  EXPECT_EQ(std::strlen(p.Name()), 31u);
  p.SetLabel("a label that is much longer than the field allows");
  EXPECT_EQ(std::strlen(p.Label()), 31u);
}

TEST(IParameter, ClampedStoreSkipsTheStepGrid) {
  IParameter p;
  p.DefineInt("Range", 3, 0, 4);
  p.SetClamped(2.4);
  EXPECT_EQ(p.Value(), 2.4);
  p.SetClamped(-7);
  EXPECT_EQ(p.Value(), 0.0);
  p.SetClamped(9);
  EXPECT_EQ(p.Value(), 4.0);
  p.SetClamped(NAN);
  EXPECT_EQ(p.Value(), 0.0);
}
