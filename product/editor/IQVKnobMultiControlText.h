// A knob with its value read-out underneath. The "Time" knob shows the delay
// in milliseconds, or the note division under delay sync, in the warning
// colour once a synced delay longer than the line holds has been asked for.
#pragma once

#include "graphics/IKnobControl.h"

class QVDelay;

class IQVKnobMultiControlText : public IKnobControl {
 public:
  IQVKnobMultiControlText(QVDelay* plug, int x, int paramIdx, const IBitmap& knob);

  bool Draw(IGraphics* graphics) override;

  // The read-out as drawn, with whether it takes the warning colour.
  void ReadOut(char* text, int size, bool* warning) const;

 private:
  QVDelay* mProduct;
  IBitmap mKnob;
  IRect mKnobRect;
  IRect mTextRect;
  IText mWarningText;
  bool mIsTimeKnob;
};
