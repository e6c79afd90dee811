// The terminal, as far as qvhost's progress display needs it.
#pragma once

#include <cstddef>

bool StderrIsTerminal();

// A one-line progress bar on stderr, redrawn only when it moves, and only
// when stderr is a terminal: logs and pipes get no control characters.
class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : mEnabled(enabled) {}
  ~ProgressBar() { Finish(); }
  void Update(size_t done, size_t total);
  void Finish();

 private:
  bool mEnabled;
  bool mDrawn = false;
  int mLast = -1;
};
