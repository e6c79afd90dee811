#include "tests/x11/X11Harness.h"

#include <X11/Xutil.h>
#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "raster/RasterBitmap.h"
#include "tests/host/TestHost.h"

extern char** environ;

namespace x11test {

namespace {
pid_t Spawn(const std::string& command) {
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return -1;
  return pid;
}

int Wait(pid_t pid, const std::function<void()>& meanwhile) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (meanwhile) meanwhile();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

void CountTree(Display* d, Window w, int* n) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &count)) return;
  for (unsigned i = 0; i < count; ++i) {
    ++*n;
    CountTree(d, children[i], n);
  }
  if (children) XFree(children);
}

Window Find(Display* d, Window w, const char* name) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* wmName = nullptr;
    XWindowAttributes a;
    if (XFetchName(d, children[i], &wmName) && wmName) {
      if (std::strcmp(wmName, name) == 0 && XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable)
        found = children[i];
      XFree(wmName);
    }
    if (!found) found = Find(d, children[i], name);
  }
  if (children) XFree(children);
  return found;
}
}  // namespace

bool Ready(std::string* why) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    *why = "DISPLAY is not set";
    return false;
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    *why = std::string("no X server answers on ") + display;
    return false;
  }
  XCloseDisplay(d);
  if (RunPlain("command -v xdotool >/dev/null") != 0) {
    *why = "xdotool is not installed";
    return false;
  }
  return true;
}

HostWindow::HostWindow(int width, int height, const char* title) {
  mDisplay = XOpenDisplay(nullptr);
  if (!mDisplay) return;
  const int screen = DefaultScreen(mDisplay);
  XSetWindowAttributes attr{};
  attr.background_pixel = 0x203040;
  attr.event_mask = KeyPressMask | KeyReleaseMask | StructureNotifyMask;
  mWindow = XCreateWindow(mDisplay, RootWindow(mDisplay, screen), 0, 0, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixel | CWEventMask, &attr);
  XStoreName(mDisplay, mWindow, title);
  XMapWindow(mDisplay, mWindow);
  XEvent e;
  do XWindowEvent(mDisplay, mWindow, StructureNotifyMask, &e);
  while (e.type != MapNotify);
}

HostWindow::~HostWindow() {
  Destroy();
  if (mDisplay) XCloseDisplay(mDisplay);
}

void* HostWindow::Handle() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(mWindow)); }

void HostWindow::Destroy() {
  if (!mWindow) return;
  XDestroyWindow(mDisplay, mWindow);
  XSync(mDisplay, False);
  mWindow = 0;
}

void HostWindow::Pump() {
  if (!mDisplay) return;
  while (XPending(mDisplay)) {
    XEvent e;
    XNextEvent(mDisplay, &e);
    if (e.type == KeyPress || e.type == KeyRelease)
      keys.push_back({e.type, e.xkey.keycode, e.xkey.send_event != 0});
  }
}

std::vector<Window> HostWindow::Children() {
  std::vector<Window> out;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (mWindow && XQueryTree(mDisplay, mWindow, &root, &parent, &children, &count)) {
    out.assign(children, children + count);
    if (children) XFree(children);
  }
  return out;
}

void Pump(TestHost& host, HostWindow* window, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    host.Dispatch(effEditIdle);
    if (window) window->Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
}

int Run(TestHost& host, HostWindow* window, const std::string& command) {
  pid_t pid = Spawn(command);
  if (pid < 0) return -1;
  return Wait(pid, [&] {
    host.Dispatch(effEditIdle);
    if (window) window->Pump();
  });
}

int RunPumping(const std::function<void()>& pump, const std::string& command) {
  pid_t pid = Spawn(command);
  if (pid < 0) return -1;
  return Wait(pid, pump);
}

int RunPlain(const std::string& command) {
  pid_t pid = Spawn(command);
  if (pid < 0) return -1;
  return Wait(pid, nullptr);
}

std::vector<uint32_t> Capture(Display* display, Window window, int x, int y, int w, int h) {
  std::vector<uint32_t> out;
  XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                            ZPixmap);
  if (!image) return out;
  out.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) {
      const unsigned long p = XGetPixel(image, col, row);
      // Xvfb's 24-bit TrueColor visual: red, green, blue where ours are.
      out[static_cast<size_t>(row) * w + col] = static_cast<uint32_t>(p & 0xFFFFFF);
    }
  XDestroyImage(image);
  return out;
}

int CountDifferences(const std::vector<uint32_t>& pixels, RasterBitmap& bitmap) {
  const int w = bitmap.Width(), h = bitmap.Height();
  if (pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) return static_cast<int>(pixels.size()) + 1;
  int diff = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((pixels[static_cast<size_t>(y) * w + x] & 0xFFFFFF) !=
          (bitmap.Pixels()[static_cast<size_t>(y) * bitmap.RowSpan() + x] & 0xFFFFFF))
        ++diff;
  return diff;
}

void KeepArtifact(const std::vector<uint32_t>& pixels, int w, int h, const char* name) {
  const char* dir = std::getenv("QV_GUI_ARTIFACTS");
  if (!dir || !*dir || pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) return;
  mkdir(dir, 0755);
  const std::string path = std::string(dir) + "/" + name + ".ppm";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fprintf(f, "P6\n%d %d\n255\n", w, h);
  for (uint32_t p : pixels) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                  static_cast<unsigned char>(p)};
    std::fwrite(rgb, 1, 3, f);
  }
  std::fclose(f);
}

int TreeWindowCount(Display* display) {
  int n = 0;
  CountTree(display, DefaultRootWindow(display), &n);
  return n;
}

int SocketCount() {
  int n = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  while (dirent* entry = readdir(dir)) {
    char link[256] = {0};
    const std::string path = std::string("/proc/self/fd/") + entry->d_name;
    if (readlink(path.c_str(), link, sizeof link - 1) > 0 && std::strncmp(link, "socket:", 7) == 0) ++n;
  }
  closedir(dir);
  return n;
}

Window FindByName(Display* display, const char* name) { return Find(display, DefaultRootWindow(display), name); }

Window WaitForName(Display* display, const char* name, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (Window w = FindByName(display, name)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}

void RootPosition(Display* display, Window window, int x, int y, int* rx, int* ry) {
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, rx, ry, &child);
}

}  // namespace x11test
