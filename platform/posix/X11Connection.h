// Our own X connection and the error handling around it. Xlib's handlers are
// process-wide and its default ones print and exit, which would take the
// host down with a plug-in's mistake or a dead server. Every use of our
// connection happens inside an X11ErrorScope, which installs handlers that
// swallow errors on our connections and pass any other display's errors on
// to whatever handler the host had.
#pragma once

#include <X11/Xlib.h>

class X11Connection {
 public:
  X11Connection() = default;
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  // Connects to $DISPLAY; false when no server answers.
  bool Open();
  // Closes the connection; after a lost server only the memory is released.
  void Close();

  Display* Get() const { return mDisplay; }
  // Open and the server still reachable.
  bool Alive() const { return mDisplay && !mDead; }
  bool Dead() const { return mDead; }

  // Protocol errors seen since the last call (the last error code, 0 none).
  int TakeError();

  // Handler bookkeeping, for X11ErrorScope.
  static X11Connection* Find(Display* display);
  void NoteError(int code) { mLastError = code; }
  void NoteDead() { mDead = true; }

 private:
  Display* mDisplay = nullptr;
  bool mDead = false;
  int mLastError = 0;
};

// Installs our handlers for its lifetime and, on leaving, makes the server
// report outstanding errors of this connection while they are still ours.
class X11ErrorScope {
 public:
  explicit X11ErrorScope(X11Connection* connection);
  ~X11ErrorScope();
  X11ErrorScope(const X11ErrorScope&) = delete;
  X11ErrorScope& operator=(const X11ErrorScope&) = delete;

 private:
  X11Connection* mConnection;
};
