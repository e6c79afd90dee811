// A long session on one instance: feedback at ±1, quality sweeping, the LFO at
// full depth, FREEZE toggling, some parameter moved every block, noise and
// silence in turns. Watches the output (finite, peak), the line's cells
// against the feedback limiter, the time per block and the resident memory.
#pragma once

#include <vector>

struct SoakOptions {
  double seconds = 3600;  // simulated time
  double rate = 48000;
  int block = 512;
  unsigned seed = 1;
  bool progress = false;  // a line per simulated minute on stderr
};

struct SoakReport {
  long long frames = 0;
  bool finite = true;
  double outputPeak = 0;
  // Largest |cell| seen and the most the limiter lets in: 1.25 × the largest
  // filtered input (Catmull-Rom overshoot) + 3 (the clamp on what is fed back).
  double cellPeak = 0;
  double cellBound = 0;
  bool cellsWithinBound = true;
  // Mean time per block in each simulated minute (the last may be partial).
  std::vector<double> minuteMeanBlockUs;
  long firstRssKb = 0;  // after the first simulated minute
  long lastRssKb = 0;
};

SoakReport RunSoak(const SoakOptions& options);

// Resident set size of this process in kB (0 where unknown).
long ResidentKb();
