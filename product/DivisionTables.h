// Note divisions for tempo sync: how long an LFO cycle, or the delay, lasts.
#pragma once

constexpr int kDivisionRows = 20;
constexpr int kLfoDivisionInitialRow = 10;
constexpr int kDelayDivisionInitialRow = 7;

struct NoteDivision {
  const char* name;
  double quarterNotes;
};

extern const NoteDivision kLfoDivisions[kDivisionRows];
extern const NoteDivision kDelayDivisions[kDivisionRows];
// The cycle lengths of kLfoDivisions alone, as the LFO takes them.
extern const double kLfoDivisionQuarterNotes[kDivisionRows];
