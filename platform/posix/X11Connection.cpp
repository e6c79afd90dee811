#include "platform/posix/X11Connection.h"

#include <fcntl.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {
// The registry is asked from inside Xlib's handler upcalls, so no Xlib call
// is ever made while holding its lock; the handler swap has a lock of its own.
std::mutex gMutex;
std::vector<X11Connection*> gConnections;
std::mutex gScopeMutex;
int gDepth = 0;  // nested scopes share the handlers of the outermost one
XErrorHandler gHostError = nullptr;
XIOErrorHandler gHostIO = nullptr;

int OnError(Display* display, XErrorEvent* event) {
  if (X11Connection* c = X11Connection::Find(display)) {
    c->NoteError(event->error_code);
    return 0;
  }
  return gHostError ? gHostError(display, event) : 0;
}

int OnIOError(Display* display) {
  if (X11Connection* c = X11Connection::Find(display)) {
    c->NoteDead();
    return 0;  // the exit handler below returns too, so Xlib carries on with a dead connection
  }
  return gHostIO ? gHostIO(display) : 0;
}

#ifdef QV_HAVE_X_IO_EXIT_HANDLER
void OnIOErrorExit(Display*, void*) {}
#endif
}  // namespace

X11Connection::~X11Connection() { Close(); }

bool X11Connection::Open() {
  Close();
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    gConnections.push_back(this);
  }
  // Programs we start (a browser) must not keep our connection open after we close it.
  const int fd = ConnectionNumber(display);
  fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
  mDisplay = display;
  mDead = false;
  mLastError = 0;
#ifdef QV_HAVE_X_IO_EXIT_HANDLER
  XSetIOErrorExitHandler(display, OnIOErrorExit, nullptr);
#endif
  return true;
}

void X11Connection::Close() {
  if (!mDisplay) return;
  {
    X11ErrorScope scope(this);
    XCloseDisplay(mDisplay);
    mDisplay = nullptr;
  }
  std::lock_guard<std::mutex> lock(gMutex);
  gConnections.erase(std::remove(gConnections.begin(), gConnections.end(), this), gConnections.end());
  mDead = false;
}

int X11Connection::TakeError() {
  int code = mLastError;
  mLastError = 0;
  return code;
}

X11Connection* X11Connection::Find(Display* display) {
  std::lock_guard<std::mutex> lock(gMutex);
  for (X11Connection* c : gConnections)
    if (c->mDisplay == display) return c;
  return nullptr;
}

X11ErrorScope::X11ErrorScope(X11Connection* connection) : mConnection(connection) {
  std::lock_guard<std::mutex> lock(gScopeMutex);
  if (gDepth++ == 0) {
    gHostError = XSetErrorHandler(OnError);
    gHostIO = XSetIOErrorHandler(OnIOError);
  }
}

X11ErrorScope::~X11ErrorScope() {
  if (mConnection && mConnection->Alive()) XSync(mConnection->Get(), False);
  std::lock_guard<std::mutex> lock(gScopeMutex);
  if (--gDepth == 0) {
    XSetErrorHandler(gHostError);
    XSetIOErrorHandler(gHostIO);
  }
}
