// No window layer for X11 yet: the editor runs off-screen and the host is told
// there is none, so it never asks to open it.
#include "graphics/IGraphicsOffscreen.h"
#include "platform/EditorFactory.h"

IGraphics* CreateEditorGraphics(IPluginBase* plug, int width, int height, int fps) {
  return new IGraphicsOffscreen(plug, width, height, fps, false);
}
