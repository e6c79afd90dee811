// The product editor's scenarios as data: pointer actions in editor
// coordinates, MIDI sent through the host, and what must follow. The same list
// runs on the built plug-in library under X11 and under Wine with real input
// from outside, and in lockstep on an in-process replica drawn off-screen, so
// every capture of the real window can be compared with the replica's render.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TestHost;

namespace scenario {

enum class Op {
  // actions
  Click,        // x, y, button (1 left, 3 right)
  DoubleClick,  // x, y (left)
  Drag,         // x, y, amount = vertical pixels (negative: up), left button
  Wheel,        // x, y, amount = notches (positive: up)
  MenuClick,    // x, y: the click opens a menu; amount = item to choose (-1: dismiss); items = rows it has
  Cc,           // a = controller, amount = value, sent through effProcessEvents and one process call
  SizeAnswer,   // amount = what both hosts answer audioMasterSizeWindow from now on
  // checks
  Norm,       // a = parameter, value = normalised value
  Delta,      // a = parameter, value = change since the scenario started
  Unchanged,  // a = parameter
  Gesture,    // a = parameter: begin, automate..., end in the host's log since the last ClearLog
  NoEdit,     // a = parameter: no value sent to the host since the last ClearLog
  ClearLog,
  Freeze,        // amount = 0/1 (replica state; the real one is seen on the screen)
  LearnLabel,    // amount = 1 LEARN, 0 UNLEARN (likewise)
  SettingsFile,  // text: a line the settings file beside the module holds
  NoSetting,     // text: what the settings file beside the module (if any) does not hold
  Program,       // amount = program number; every parameter as the replica has it
  MenuSeen,      // amount = rows the last menu had across its tree, a = the checked row (-1: none checked),
                 // both numbered as the tree is: a menu's items, then each submenu's
  Url,           // text: the one address opened by the last menu
  Screen,        // the capture equals the replica's render
  SizeAsked,     // x, y: the one audioMasterSizeWindow since the last ClearLog asked for x by y (0, 0: none came)
  WindowSize,    // x, y: the editor's window, effEditGetRect and the replica are this big; the host's window holds it
};

struct Step {
  Op op = Op::Screen;
  int x = 0, y = 0;
  int button = 1;
  int amount = 0;
  int a = 0;
  double value = 0.0;
  int items = 0;
  std::string text;
};

struct Scenario {
  std::string name;
  std::vector<Step> steps;
  // The size the host gives the editor before opening it (the vendor call);
  // steps stay in design pixels whatever it is.
  double scale = 1.0;
};

// Every scenario; each starts on a fresh instance with its editor just opened
// at the scenario's scale.
const std::vector<Scenario>& All();

// The editor's window at a scale, in device pixels.
int DeviceWidth(double scale);
int DeviceHeight(double scale);
// Where a target puts the pointer for a design position: the middle of the
// device pixels that show it, so that the editor maps it back to the same one.
int DevicePos(int design, double scale);

// What a platform supplies: real input on the opened editor of a plug-in
// instance in its host, a capture of the editor's pixels and what its menus
// and URL opener were seen doing.
class Target {
 public:
  virtual ~Target() = default;
  virtual TestHost& Host() = 0;
  // Performs one action step with real input and lets the editor settle;
  // scale is the editor's present size, for the step's design positions.
  virtual bool Perform(const Step& step, double scale) = 0;
  // 0x00RRGGBB, the editor's window at the size it has; empty when it cannot be read.
  virtual std::vector<uint32_t> Capture() = 0;
  // The editor's child window, and the client area of the host's window that holds it.
  virtual void WindowSizes(int* editorW, int* editorH, int* hostW, int* hostH) = 0;
  // The last menu: rows and the checked row (-1 none), across its submenus
  // as Op::MenuSeen numbers them; false if none was seen.
  virtual bool LastMenu(int* rows, int* checked) = 0;
  // Addresses handed to the system's opener since the scenario began; false
  // when this platform cannot observe them.
  virtual bool Urls(std::vector<std::string>* urls) = 0;
  // The folder the module lives in (the settings file goes there), with a trailing separator.
  virtual std::string ModuleFolder() = 0;
  // Names a capture kept for a person to look at (QV_GUI_ARTIFACTS).
  virtual void Keep(const std::vector<uint32_t>& pixels, int width, int height, const std::string& name) = 0;
};

// Runs the scenario on target and on an in-process replica in lockstep,
// checking every check step with gtest expectations. Returns the final
// capture of the real editor.
std::vector<uint32_t> Run(const Scenario& s, Target& target);

// The replica's render of a freshly opened editor.
std::vector<uint32_t> DefaultRender(double scale = 1.0);

// The editor's window at 100 %.
constexpr int kWidth = 683;
constexpr int kHeight = 174;

}  // namespace scenario
