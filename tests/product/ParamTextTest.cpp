#include <gtest/gtest.h>

#include <string>

#include "product/ParamDisplays.h"
#include "tests/product/ProductFixture.h"

namespace {
std::string Show(void (*f)(double, char*), double v) {
  char text[kParamTextSize];
  f(v, text);
  return text;
}
}  // namespace

TEST(ProductTexts, EveryValueText) {
  EXPECT_EQ(Show(PercentText, -0.5), "-50.0%");
  EXPECT_EQ(Show(PercentText, 0.05), "5.0%");
  EXPECT_EQ(Show(PercentText, 0.5), "50%");
  EXPECT_EQ(Show(PercentText, 0.0), "0.0%");
  EXPECT_EQ(Show(MixText, 0.0), "Dry");
  EXPECT_EQ(Show(MixText, 1.0), "Wet");
  EXPECT_EQ(Show(MixText, 0.25), "75:25");
  EXPECT_EQ(Show(HzText, 0.15), "0.15Hz");
  EXPECT_EQ(Show(LfoDivisionText, 25.0), "1/16");
  EXPECT_EQ(Show(LfoDivisionText, 0.001), "16/1");
  EXPECT_EQ(Show(LfoDivisionText, 12.5), "1/2.");
  EXPECT_EQ(Show(LfoDivisionText, 1e9), "1/16");
  EXPECT_EQ(Show(RangeText, 4.0), "250-2000");
  EXPECT_EQ(Show(RangeText, 2.0), "16-125");
  EXPECT_EQ(Show(RangeText, 0.0), "1-8");
  EXPECT_EQ(Show(SwitchText, 0.49), "OFF");
  EXPECT_EQ(Show(SwitchText, 0.5), "ON");
}

TEST(ProductTexts, AsTheHostSeesThem) {
  ProductFixture f;
  EXPECT_EQ(f.Display(kTime), "0.600") << "no product text: three decimals";
  EXPECT_EQ(f.Display(kRange), "62-500");
  EXPECT_EQ(f.Display(kLFOSpeed), "0.15Hz");
  EXPECT_EQ(f.Display(kDelaySync), "OFF");
  EXPECT_EQ(f.host.ParamText(effGetParamLabel, kDelaySync), "");
  f.SetPlain(kLFOSpeed, 25.0);
  f.host.SetParameter(kLFOSync, 1.0f);
  EXPECT_EQ(f.Display(kLFOSpeed), "1/16") << "the division text while LFO sync is on";
  EXPECT_EQ(f.Display(kLFOSync), "ON");
  f.host.SetParameter(kLFOSync, 0.0f);
  EXPECT_EQ(f.Display(kLFOSpeed), "25.00Hz");
  const char* names[] = {"Range", "Time", "Feedback", "LFOSpeed", "LFO Depth", "Mix", "Quality",
                         "Delay Sync to Host", "LFO Sync to Host"};
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(f.host.ParamText(effGetParamName, i), names[i]);
}

TEST(ProductTexts, ParameterDefinitions) {
  ProductFixture f(44100, 512, false);
  struct Def {
    ParamType type;
    double def, min, max, step, shape;
  } defs[kNumParams] = {
      {kTypeInt, 3, 0, 4, 1, 1},           {kTypeDouble, 0.6, 0, 1, 0.001, 1}, {kTypeDouble, 0, -1, 1, 0.01, 1},
      {kTypeDouble, 0.15, 0.001, 25, 0.01, 2}, {kTypeDouble, 0, 0, 1, 0.01, 2}, {kTypeDouble, 0.5, 0, 1, 0.01, 1},
      {kTypeDouble, 1, 0, 1, 0.01, 1},     {kTypeBool, 0, 0, 1, 1, 1},         {kTypeBool, 0, 0, 1, 1, 1},
  };
  for (int i = 0; i < kNumParams; ++i) {
    const IParameter* p = f.plug->GetParam(i);
    EXPECT_EQ(p->Type(), defs[i].type) << i;
    EXPECT_EQ(p->Default(), defs[i].def) << i;
    EXPECT_EQ(p->Min(), defs[i].min) << i;
    EXPECT_EQ(p->Max(), defs[i].max) << i;
    EXPECT_EQ(p->Step(), defs[i].step) << i;
    EXPECT_EQ(p->Shape(), defs[i].shape) << i;
    EXPECT_STREQ(p->Label(), "") << i;
  }
}
