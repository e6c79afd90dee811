#include "tests/host/EditorScenarios.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "graphics/IGraphicsOffscreen.h"
#include "graphics/IGraphicsScale.h"
#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"
#include "product/editor/IQVToolsControl.h"
#include "product/editor/QVDelayEditor.h"
#include "raster/RasterMemBitmap.h"
#include "tests/host/TestHost.h"
#include "vst/VendorEditorScale.h"

namespace scenario {
namespace {

constexpr int kParams = 9;

// --- building the list --------------------------------------------------------------

Step Act(Op op, int x, int y, int amount = 0, int button = 1) {
  Step s;
  s.op = op;
  s.x = x;
  s.y = y;
  s.amount = amount;
  s.button = button;
  return s;
}
Step Click(int x, int y, int button = 1) { return Act(Op::Click, x, y, 0, button); }
Step Menu(int x, int y, int choose, int items) {
  Step s = Act(Op::MenuClick, x, y, choose);
  s.items = items;
  return s;
}
Step Cc(int controller, int value) {
  Step s;
  s.op = Op::Cc;
  s.a = controller;
  s.amount = value;
  return s;
}
Step Check(Op op, int param = 0, double value = 0.0, int amount = 0) {
  Step s;
  s.op = op;
  s.a = param;
  s.value = value;
  s.amount = amount;
  return s;
}
Step Text(Op op, const std::string& text) {
  Step s;
  s.op = op;
  s.text = text;
  return s;
}
Step Size(Op op, int width, int height) {
  Step s;
  s.op = op;
  s.x = width;
  s.y = height;
  return s;
}

// The knobs' centres and the way each can move from its default (Quality and
// Time start high, so they go down; the rest go up).
struct KnobPlace {
  const char* name;
  int param, x;
  int sign;  // +1: up
};
const KnobPlace kKnobs[] = {{"Time", 1, 140, -1},     {"Feedback", 2, 206, -1}, {"LFOSpeed", 3, 294, 1},
                            {"LFO Depth", 4, 392, 1}, {"Mix", 5, 480, 1},       {"Quality", 6, 546, -1}};

std::vector<Scenario> Build() {
  std::vector<Scenario> list;
  const Step screen = Check(Op::Screen);

  Scenario range{"range bands set Range 0..4", {}};
  for (int band = 0; band < 5; ++band) {
    range.steps.push_back(Check(Op::ClearLog));
    range.steps.push_back(Click(30, 96 + 12 * band + 5));
    range.steps.push_back(Check(Op::Norm, kRange, band / 4.0));
    range.steps.push_back(Check(Op::Gesture, kRange));
  }
  range.steps.push_back(screen);
  list.push_back(range);

  list.push_back({"range clicks do nothing under delay sync",
                  {Click(93, 120), Check(Op::Norm, kDelaySync, 1.0), Check(Op::ClearLog), Click(30, 100),
                   Click(30, 150), Check(Op::Unchanged, kRange), Check(Op::NoEdit, kRange), screen}});

  for (const KnobPlace& k : kKnobs) {
    // 30 pixels: no value on a read-out's rounding edge, whatever order the
    // pointer's motion events arrive in.
    const double drag = 30.0 / 248.0 * k.sign, wheel = 0.03 * k.sign;
    list.push_back({std::string("knob ") + k.name + ": drag, wheel, double click",
                    {Check(Op::ClearLog), Act(Op::Drag, k.x, 120, -30 * k.sign), Check(Op::Delta, k.param, drag),
                     Check(Op::Gesture, k.param), screen, Act(Op::Wheel, k.x, 120, 3 * k.sign),
                     Check(Op::Delta, k.param, drag + wheel), screen, Act(Op::DoubleClick, k.x, 120),
                     Check(Op::Unchanged, k.param), screen}});
  }

  list.push_back({"sync switches toggle",
                  {Check(Op::ClearLog), Click(93, 100), Check(Op::Norm, kDelaySync, 1.0), Check(Op::Gesture, kDelaySync),
                   screen, Click(93, 100), Check(Op::Norm, kDelaySync, 0.0), Click(343, 140),
                   Check(Op::Norm, kLFOSync, 1.0), screen, Click(343, 140), Check(Op::Norm, kLFOSync, 0.0), screen}});

  list.push_back({"LEARN, move Mix, CC 7 assigns CC 7 to Mix; save config writes it",
                  {Click(636, 90), Check(Op::LearnLabel, 0, 0, 1), Act(Op::Drag, 480, 120, -20), Cc(7, 100),
                   Cc(7, 127), Check(Op::Norm, kMix, 1.0), Cc(7, 0), Check(Op::Norm, kMix, 0.0), screen,
                   Click(636, 118), Text(Op::SettingsFile, "CC7=5"), screen}});

  list.push_back({"right click swaps LEARN and UNLEARN only while released",
                  {Click(636, 90, 3), Check(Op::LearnLabel, 0, 0, 0), screen, Click(636, 90, 3),
                   Check(Op::LearnLabel, 0, 0, 1), Click(636, 90), Click(636, 90, 3), Check(Op::LearnLabel, 0, 0, 1),
                   screen, Click(636, 90), screen}});

  list.push_back({"FREEZE toggles, and while learning becomes the learn target",
                  {Click(636, 146), Check(Op::Freeze, 0, 0, 1), screen, Click(636, 146), Check(Op::Freeze, 0, 0, 0),
                   Click(636, 90), Click(636, 146), Check(Op::Freeze, 0, 0, 0), Cc(20, 127), Check(Op::Freeze, 0, 0, 0),
                   Cc(20, 127), Check(Op::Freeze, 0, 0, 1), screen}});

  list.push_back({"preset menu lists ten presets, the current checked, and loads the choice",
                  {Menu(25, 27, 3, 10), Check(Op::MenuSeen, 0, 0, 10), Check(Op::Program, 0, 0, 3), screen,
                   Menu(25, 27, -1, 10), Check(Op::MenuSeen, 3, 0, 10), Check(Op::Program, 0, 0, 3), screen}});

  // Two entries and the size submenu, whose 100 % is checked.
  list.push_back({"online menu's second entry opens the site",
                  {Menu(600, 20, 1, 6), Check(Op::MenuSeen, 3, 0, 6), Text(Op::Url, "http://www.quorvel.example/"),
                   screen}});

  // 5 is the submenu's "200 %". Input after the change lands where the
  // larger editor shows the band.
  const int w2 = DeviceWidth(2.0), h2 = DeviceHeight(2.0);
  list.push_back({"online menu's 200 % grows the host's window and is remembered",
                  {Check(Op::ClearLog), Menu(600, 20, 5, 6), Check(Op::MenuSeen, 3, 0, 6), Size(Op::SizeAsked, w2, h2),
                   Size(Op::WindowSize, w2, h2), screen, Text(Op::SettingsFile, "Size=200"), Check(Op::ClearLog),
                   Click(30, 96 + 12 * 2 + 5), Check(Op::Norm, kRange, 0.5), Check(Op::Gesture, kRange), screen}});

  Step refuse = Check(Op::SizeAnswer);
  refuse.amount = 0;
  list.push_back({"a host that refuses 200 % keeps the editor as it was",
                  {refuse, Check(Op::ClearLog), Menu(600, 20, 5, 6), Size(Op::SizeAsked, w2, h2),
                   Size(Op::WindowSize, kWidth, kHeight), Text(Op::NoSetting, "Size="), screen,
                   Menu(600, 20, -1, 6), Check(Op::MenuSeen, 3, 0, 6), Click(30, 96 + 12 * 2 + 5),
                   Check(Op::Norm, kRange, 0.5), screen}});

  // The same pointer work on an editor the host opened at 200 %: positions and
  // drag distances in design pixels, so the same values follow.
  for (const char* name : {"range bands set Range 0..4", "knob Mix: drag, wheel, double click", "sync switches toggle"}) {
    for (const Scenario& at100 : std::vector<Scenario>(list)) {
      if (at100.name != name) continue;
      Scenario at200{"at 200 %: " + at100.name, {Size(Op::WindowSize, w2, h2)}, 2.0};
      at200.steps.insert(at200.steps.end(), at100.steps.begin(), at100.steps.end());
      list.push_back(at200);
    }
  }
  return list;
}

// --- the replica ----------------------------------------------------------------------

const IMouseMod kLeft(true, false);
const IMouseMod kRight(false, true);


// The product in this process with the off-screen window layer, driven by the
// same steps through the editor's event calls.
struct Replica {
  TestHost host;
  QVDelay* plug = nullptr;
  IGraphicsOffscreen* g = nullptr;
  int parent = 0;
  int menuRows = -1, menuChecked = -2;

  explicit Replica(double scale) {
    host.Create(VSTPluginMain);
    plug = static_cast<QVDelay*>(IPluginVST::FromEffect(host.Effect()));
    host.Start(44100, 512);
    std::remove(SettingsPath().c_str());
    plug->SetSettingsPath(SettingsPath());
    g = new IGraphicsOffscreen(plug, kEditorWidth, kEditorHeight, kEditorFps, true);
    LayoutEditor(plug, g);
    plug->AttachEditor(g);
    // As the targets' host does: the size before the window.
    if (scale != 1.0) {
      EXPECT_EQ(host.Dispatch(effVendorSpecific, kVendorEditorScale, 0, nullptr, static_cast<float>(scale)), 1);
    }
    g->OpenWindow(&parent);
    g->Tick();
  }
  static std::string SettingsPath() { return testing::TempDir() + "qv-scenario-replica.ini"; }
  ~Replica() {
    host.Close();
    std::remove(SettingsPath().c_str());
  }

  // Events reach the editor in device pixels, where the targets' pointer goes.
  void Perform(const Step& s) {
    const IMouseMod mod = s.button == 3 ? kRight : kLeft;
    const double scale = g->Scale();
    const int x = DevicePos(s.x, scale), y = DevicePos(s.y, scale);
    switch (s.op) {
      case Op::Click:
        g->OnMouseDown(x, y, mod);
        g->OnMouseUp(x, y, mod);
        break;
      case Op::DoubleClick:
        g->OnMouseDown(x, y, kLeft);
        g->OnMouseUp(x, y, kLeft);
        g->OnMouseDblClick(x, y, kLeft);
        g->OnMouseUp(x, y, kLeft);
        break;
      case Op::Drag: {
        g->OnMouseDown(x, y, kLeft);
        const int steps = (std::abs(s.amount) + 4) / 5;
        for (int i = 1; i <= steps; ++i) g->OnMouseDrag(x, DevicePos(s.y + s.amount * i / steps, scale), kLeft);
        g->OnMouseUp(x, DevicePos(s.y + s.amount, scale), kLeft);
        break;
      }
      case Op::Wheel:
        for (int i = 0; i < std::abs(s.amount); ++i) g->OnMouseWheel(x, y, IMouseMod(), s.amount > 0 ? 1 : -1);
        break;
      case Op::MenuClick:
        g->menuAnswer = [this, s](IPopupMenu& menu) {
          menuRows = menu.CountTree();
          menuChecked = -1;
          for (int n = 0; n < menuRows; ++n) {
            int first = 0;
            IPopupMenu* holder = menu.MenuForNumber(n, &first);
            if (holder && holder->Item(n - first)->flags & IPopupMenuItem::kChecked) menuChecked = n;
          }
          return s.amount;
        };
        g->OnMouseDown(x, y, kLeft);
        g->OnMouseUp(x, y, kLeft);
        g->menuAnswer = nullptr;
        break;
      case Op::Cc:
        host.SendControlChange(s.a, s.amount);
        break;
      default:
        break;
    }
    g->Tick();
  }
  std::vector<uint32_t> Render() {
    g->Tick();
    std::vector<uint32_t> out;
    RasterMemBitmap& screen = g->Screen();
    for (int y = 0; y < screen.Height(); ++y)
      for (int x = 0; x < screen.Width(); ++x) out.push_back(screen.Pixels()[y * screen.RowSpan() + x] & 0xFFFFFF);
    return out;
  }
};

std::vector<VstInt32> EditOps(const TestHost& host, int index) {
  std::vector<VstInt32> ops;
  for (const HostRequest& r : host.requests)
    if (r.index == index &&
        (r.opcode == audioMasterBeginEdit || r.opcode == audioMasterAutomate || r.opcode == audioMasterEndEdit))
      ops.push_back(r.opcode);
  return ops;
}

int Automations(const TestHost& host, int index) {
  int n = 0;
  for (VstInt32 op : EditOps(host, index)) n += op == audioMasterAutomate;
  return n;
}

void ExpectGesture(const TestHost& host, int index, const std::string& where) {
  std::vector<VstInt32> ops = EditOps(host, index);
  ASSERT_GE(ops.size(), 3u) << where;
  EXPECT_EQ(ops.front(), audioMasterBeginEdit) << where;
  EXPECT_EQ(ops.back(), audioMasterEndEdit) << where;
  int automates = 0;
  for (VstInt32 op : ops) automates += op == audioMasterAutomate;
  EXPECT_GE(automates, 1) << where;
}

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream s;
  s << file.rdbuf();
  return s.str();
}

std::vector<HostRequest> SizeRequests(const TestHost& host) {
  std::vector<HostRequest> out;
  for (const HostRequest& r : host.requests)
    if (r.opcode == audioMasterSizeWindow) out.push_back(r);
  return out;
}

void ExpectSizeAsked(const TestHost& host, int width, int height, const std::string& where) {
  const std::vector<HostRequest> asked = SizeRequests(host);
  if (width == 0 && height == 0) {
    EXPECT_TRUE(asked.empty()) << where;
    return;
  }
  ASSERT_EQ(asked.size(), 1u) << where;
  EXPECT_EQ(asked[0].index, width) << where;
  EXPECT_EQ(asked[0].value, height) << where;
}

void ExpectEditRect(TestHost& host, int width, int height, const std::string& where) {
  ERect* rect = nullptr;
  ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1) << where;
  ASSERT_NE(rect, nullptr) << where;
  EXPECT_EQ(rect->right - rect->left, width) << where;
  EXPECT_EQ(rect->bottom - rect->top, height) << where;
}

int Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size()) return static_cast<int>(std::max(a.size(), b.size()));
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
  return n;
}

std::string Slug(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c))) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    else if (!out.empty() && out.back() != '-') out += '-';
    if (out.size() >= 40) break;
  }
  while (!out.empty() && out.back() == '-') out.pop_back();
  return out;
}

}  // namespace

const std::vector<Scenario>& All() {
  static const std::vector<Scenario> list = Build();
  return list;
}

int DeviceWidth(double scale) { return ToDevice(kWidth, scale); }
int DeviceHeight(double scale) { return ToDevice(kHeight, scale); }
int DevicePos(int design, double scale) { return static_cast<int>(std::floor((design + 0.5) * scale)); }

std::vector<uint32_t> DefaultRender(double scale) {
  Replica replica(scale);
  return replica.Render();
}

std::vector<uint32_t> Run(const Scenario& s, Target& target) {
  Replica replica(s.scale);
  TestHost& host = target.Host();
  float start[kParams], replicaStart[kParams];
  for (int i = 0; i < kParams; ++i) {
    start[i] = host.GetParameter(i);
    replicaStart[i] = replica.host.GetParameter(i);
    EXPECT_EQ(start[i], replicaStart[i]) << s.name << ": parameter " << i << " starts alike";
  }
  const std::string settings = target.ModuleFolder() + "qvdelay.ini";
  std::remove(settings.c_str());
  host.ClearRequests();
  replica.host.ClearRequests();
  std::vector<uint32_t> last;
  int screens = 0;

  for (size_t n = 0; n < s.steps.size(); ++n) {
    const Step& step = s.steps[n];
    const std::string where = s.name + ", step " + std::to_string(n + 1);
    if (std::getenv("QV_SCENARIO_TRACE"))
      std::fprintf(stderr, "%lld ms: %s\n",
                   static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count()),
                   where.c_str());
    switch (step.op) {
      case Op::Click:
      case Op::DoubleClick:
      case Op::Drag:
      case Op::Wheel:
      case Op::MenuClick:
        EXPECT_TRUE(target.Perform(step, replica.g->Scale())) << where << ": the input could not be delivered";
        replica.Perform(step);
        break;
      case Op::SizeAnswer:
        host.sizeWindowAnswer = step.amount;
        replica.host.sizeWindowAnswer = step.amount;
        break;
      case Op::SizeAsked:
        ExpectSizeAsked(host, step.x, step.y, where);
        ExpectSizeAsked(replica.host, step.x, step.y, where + " (replica)");
        break;
      case Op::WindowSize: {
        int w = 0, h = 0, hostW = 0, hostH = 0;
        target.WindowSizes(&w, &h, &hostW, &hostH);
        EXPECT_EQ(w, step.x) << where << ": the editor's window";
        EXPECT_EQ(h, step.y) << where << ": the editor's window";
        EXPECT_GE(hostW, step.x) << where << ": the host's window holds it";
        EXPECT_GE(hostH, step.y) << where << ": the host's window holds it";
        ExpectEditRect(host, step.x, step.y, where);
        ExpectEditRect(replica.host, step.x, step.y, where + " (replica)");
        EXPECT_EQ(replica.g->Width(), step.x) << where << " (replica)";
        EXPECT_EQ(replica.g->Height(), step.y) << where << " (replica)";
        break;
      }
      case Op::Cc:
        host.SendControlChange(step.a, step.amount);
        replica.Perform(step);
        break;
      case Op::Norm:
        EXPECT_NEAR(host.GetParameter(step.a), step.value, 1e-6) << where << ": parameter " << step.a;
        EXPECT_NEAR(replica.host.GetParameter(step.a), step.value, 1e-6) << where << ": replica parameter " << step.a;
        break;
      case Op::Delta: {
        const double want = std::min(1.0, std::max(0.0, start[step.a] + step.value));
        EXPECT_NEAR(host.GetParameter(step.a), want, 1e-6) << where << ": parameter " << step.a;
        EXPECT_NEAR(replica.host.GetParameter(step.a), want, 1e-6) << where << ": replica parameter " << step.a;
        EXPECT_NE(host.GetParameter(step.a), start[step.a]) << where << ": parameter " << step.a << " moved";
        // The read-out the knob draws is the host's display text too.
        EXPECT_EQ(host.ParamText(effGetParamDisplay, step.a), replica.host.ParamText(effGetParamDisplay, step.a))
            << where;
        break;
      }
      case Op::Unchanged:
        EXPECT_EQ(host.GetParameter(step.a), start[step.a]) << where << ": parameter " << step.a;
        EXPECT_EQ(replica.host.GetParameter(step.a), replicaStart[step.a]) << where << ": replica " << step.a;
        break;
      case Op::Gesture:
        ExpectGesture(host, step.a, where);
        ExpectGesture(replica.host, step.a, where + " (replica)");
        break;
      case Op::NoEdit:
        // The framework still brackets the press with begin/end edit; no value goes out.
        EXPECT_EQ(Automations(host, step.a), 0) << where << ": parameter " << step.a;
        EXPECT_EQ(Automations(replica.host, step.a), 0) << where << ": replica " << step.a;
        break;
      case Op::ClearLog:
        host.ClearRequests();
        replica.host.ClearRequests();
        break;
      case Op::Freeze:
        EXPECT_EQ(replica.plug->FreezeOn(), step.amount != 0) << where;
        break;
      case Op::LearnLabel: {
        auto* learn = dynamic_cast<IQVToolsControl*>(replica.g->GetControl(12));
        EXPECT_NE(learn, nullptr);
        if (learn) {
          EXPECT_EQ(learn->LearnLabel(), step.amount != 0) << where;
        }
        break;
      }
      case Op::SettingsFile: {
        const std::string text = FileText(settings);
        EXPECT_NE(text.find(step.text), std::string::npos) << where << ": " << settings << " holds\n" << text;
        EXPECT_NE(FileText(replica.plug->SettingsPath()).find(step.text), std::string::npos) << where;
        std::remove(settings.c_str());
        break;
      }
      case Op::NoSetting:
        EXPECT_EQ(FileText(settings).find(step.text), std::string::npos) << where << ": " << settings;
        EXPECT_EQ(FileText(replica.plug->SettingsPath()).find(step.text), std::string::npos) << where;
        break;
      case Op::Program:
        EXPECT_EQ(host.Dispatch(effGetProgram), step.amount) << where;
        EXPECT_EQ(replica.plug->CurrentPresetIndex(), step.amount) << where;
        for (int i = 0; i < kParams; ++i)
          EXPECT_NEAR(host.GetParameter(i), replica.host.GetParameter(i), 1e-6) << where << ": parameter " << i;
        break;
      case Op::MenuSeen: {
        int rows = -1, checked = -2;
        EXPECT_TRUE(target.LastMenu(&rows, &checked)) << where << ": no menu was seen";
        EXPECT_EQ(rows, step.amount) << where;
        EXPECT_EQ(checked, step.a) << where;
        EXPECT_EQ(replica.menuRows, step.amount) << where;
        EXPECT_EQ(replica.menuChecked, step.a) << where;
        break;
      }
      case Op::Url: {
        std::vector<std::string> urls;
        if (target.Urls(&urls)) {
          EXPECT_EQ(urls, std::vector<std::string>{step.text}) << where;
        }
        EXPECT_EQ(replica.g->urls.size(), 1u) << where;
        if (!replica.g->urls.empty()) {
          EXPECT_EQ(replica.g->urls[0].url, step.text) << where;
        }
        break;
      }
      case Op::Screen: {
        last = target.Capture();
        const std::vector<uint32_t> want = replica.Render();
        int w = 0, h = 0, hostW = 0, hostH = 0;
        target.WindowSizes(&w, &h, &hostW, &hostH);
        const int differ = Differences(last, want);
        EXPECT_EQ(differ, 0) << where << ": pixels that differ from the off-screen render (window " << w << " x " << h
                             << ", replica " << replica.g->Width() << " x " << replica.g->Height() << ")";
        const std::string name = Slug(s.name) + "-" + std::to_string(++screens);
        target.Keep(last, w, h, name);
        if (differ) target.Keep(want, replica.g->Width(), replica.g->Height(), name + "-expected");
        break;
      }
    }
  }
  return last;
}

}  // namespace scenario
