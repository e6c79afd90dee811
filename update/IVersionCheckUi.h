// What the version check needs from the editor: a modal message box and a way
// to open a web page. The product implements it on top of its editor window;
// tests implement it with a recorder, so no dialog or browser ever appears.
#pragma once

// Values as the Win32 message box uses them, so the product can pass them on.
enum : int {
  kVersionBoxIconError = 0x10,
  kVersionBoxIconInformation = 0x40,
  kVersionBoxYesNo = 4,
  kVersionBoxIdNo = 7,
};

class IVersionCheckUi {
 public:
  virtual ~IVersionCheckUi() = default;

  // Shows a modal message box and returns the button pressed (Win32 IDxxx).
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;

  // Opens the address in the user's browser, asking nothing; false on failure.
  virtual bool OpenURL(const char* url) = 0;
};
