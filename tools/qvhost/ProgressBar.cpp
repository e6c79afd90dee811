#include <cstdio>

#include "tools/qvhost/Console.h"

void ProgressBar::Update(size_t done, size_t total) {
  if (!mEnabled || total == 0) return;
  constexpr int kWidth = 40;
  int permille = static_cast<int>(done * 1000 / total);
  if (permille == mLast) return;
  mLast = permille;
  int filled = permille * kWidth / 1000;
  char bar[kWidth + 1];
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = '\0';
  std::fprintf(stderr, "\r[%s] %5.1f%%", bar, permille / 10.0);
  std::fflush(stderr);
  mDrawn = true;
}

void ProgressBar::Finish() {
  if (!mDrawn) return;
  std::fprintf(stderr, "\n");
  mDrawn = false;
}
