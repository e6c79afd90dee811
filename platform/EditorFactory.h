// The editor object of this platform: the real window layer where one exists,
// otherwise an off-screen one that tells the host there is no editor window.
#pragma once

class IGraphics;
class IPluginBase;

// A new editor owned by the caller (the plug-in takes it over when attached).
IGraphics* CreateEditorGraphics(IPluginBase* plug, int width, int height, int fps);
