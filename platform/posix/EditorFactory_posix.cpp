// The editor is an X11 child window of the host's window. The off-screen
// layer stays for tests and tools that run without a server.
#include "platform/EditorFactory.h"
#include "platform/posix/IGraphicsX11.h"

IGraphics* CreateEditorGraphics(IPluginBase* plug, int width, int height, int fps) {
  return new IGraphicsX11(plug, width, height, fps);
}
