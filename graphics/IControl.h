// The editor's control base, as far as the plug-in side needs it: a control
// can be asked to redraw and can be greyed out. The standard controls build
// on this class.
#pragma once

class IControl {
 public:
  virtual ~IControl() = default;
  virtual void Redraw() { mDirty = true; }
  virtual void GrayOut(bool gray) {
    mGrayed = gray;
    mDirty = true;
  }
  bool IsGrayed() const { return mGrayed; }
  bool IsDirty() const { return mDirty; }

 protected:
  bool mDirty = true;
  bool mGrayed = false;
};
