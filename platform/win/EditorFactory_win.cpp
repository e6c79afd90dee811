// On Windows the editor is a real child window of the host's frame.
#include "platform/EditorFactory.h"
#include "platform/win/IGraphicsWin.h"

IGraphics* CreateEditorGraphics(IPluginBase* plug, int width, int height, int fps) {
  return new IGraphicsWin(plug, width, height, fps);
}
