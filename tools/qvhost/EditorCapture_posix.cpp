// The X11 half of the editor capture. Without DISPLAY a virtual server
// (Xvfb) of our own is started for the capture and stopped afterwards.
#include "tools/qvhost/EditorCapture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace {
// A virtual server on a display number it picks itself, for as long as this lives.
class VirtualServer {
 public:
  ~VirtualServer() {
    if (mPid > 0) {
      kill(mPid, SIGTERM);
      waitpid(mPid, nullptr, 0);
      unsetenv("DISPLAY");
    }
  }
  bool Start(std::string* error) {
    int fds[2];
    if (pipe(fds) != 0) return Fail(error, "no pipe for Xvfb");
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1200x24", "-nolisten", "tcp",
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);  // its start-up chatter
    const int rc = posix_spawnp(&mPid, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      mPid = 0;
      close(fds[0]);
      return Fail(error, "DISPLAY is not set and Xvfb could not be started");
    }
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return Fail(error, "Xvfb did not start");
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
  }

 private:
  static bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
  }
  pid_t mPid = 0;
};

int Shift(unsigned long mask) {
  int s = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++s;
  }
  return s;
}

// A channel of an X pixel scaled to 8 bits.
uint32_t Channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  const unsigned long v = (pixel & mask) >> Shift(mask);
  const unsigned long max = mask >> Shift(mask);
  return static_cast<uint32_t>((v * 255 + max / 2) / max);
}
}  // namespace

bool CaptureEditor(TestHost& host, int width, int height, std::vector<uint32_t>* pixels, std::string* error) {
  pixels->clear();
  VirtualServer server;
  const char* display = std::getenv("DISPLAY");
  if ((!display || !*display) && !server.Start(error)) return false;
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    *error = std::string("no X server answers on ") + (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    return false;
  }
  const int screen = DefaultScreen(d);
  XSetWindowAttributes attr{};
  attr.background_pixel = BlackPixel(d, screen);
  attr.event_mask = StructureNotifyMask;
  Window frame = XCreateWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(width),
                               static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixel | CWEventMask, &attr);
  XStoreName(d, frame, "qvhost editor");
  XMapRaised(d, frame);
  XEvent e;
  do XWindowEvent(d, frame, StructureNotifyMask, &e);
  while (e.type != MapNotify);

  bool ok = false;
  if (host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(frame))) == 0) {
    *error = "the plug-in did not open its editor";
  } else {
    for (int i = 0; i < 15; ++i) {
      host.Dispatch(effEditIdle);
      while (XPending(d)) XNextEvent(d, &e);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    XQueryTree(d, frame, &root, &parent, &children, &n);
    const Window editor = n > 0 ? children[0] : 0;
    if (children) XFree(children);
    XWindowAttributes a;
    XImage* image = nullptr;
    if (editor && XGetWindowAttributes(d, editor, &a))
      image = XGetImage(d, editor, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                        ZPixmap);
    if (!image) {
      *error = "the editor's window could not be read";
    } else {
      pixels->resize(static_cast<size_t>(width) * static_cast<size_t>(height));
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const unsigned long p = XGetPixel(image, x, y);
          (*pixels)[static_cast<size_t>(y) * width + x] = (Channel(p, image->red_mask) << 16) |
                                                          (Channel(p, image->green_mask) << 8) |
                                                          Channel(p, image->blue_mask);
        }
      XDestroyImage(image);
      ok = true;
    }
    host.Dispatch(effEditClose);
  }
  XDestroyWindow(d, frame);
  XCloseDisplay(d);
  return ok;
}
