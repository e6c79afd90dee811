// The editor's message box on X11: a small transient top-level window with
// the text and OK or Yes/No buttons, drawn with our raster library and run in
// its own event loop. Answers with the kMsgAnswer values of IGraphics.h.
#pragma once

#include <X11/Xlib.h>

#include <functional>

class X11Connection;

// owner: the host's top-level window (0: none; the box is centred on the
// screen). Escape and closing the box through the window manager answer No
// (Yes/No boxes) or OK; stop() ends it with the same answer.
// scale: the editor's size, by which the box's text and metrics grow.
int X11RunMessageBox(X11Connection* connection, Window owner, const char* text, const char* caption, int type,
                     const std::function<bool(XEvent&)>& other, const std::function<bool()>& stop,
                     double scale = 1.0);
