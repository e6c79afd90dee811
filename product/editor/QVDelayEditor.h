// The product's editor panel: background, seven knobs with read-outs, two sync
// switches, the range selector, the tools buttons and the two menu areas.
#pragma once

class IGraphics;
class QVDelay;

constexpr int kEditorWidth = 683;
constexpr int kEditorHeight = 174;
constexpr int kEditorFps = 25;

// Image resource ids, as compiled into the plug-in.
enum EditorImage : int { kImageBack = 1, kImageKnob = 2, kImageSwitch = 3, kImageButton = 4, kImageRanges = 5 };

// Builds the controls into graphics and fills the product's editor references.
void LayoutEditor(QVDelay* plug, IGraphics* graphics);
