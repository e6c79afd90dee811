// Command-line options shared by the qvhost subcommands.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct HostOptions {
  std::vector<std::string> positional;
  int program = -1;                              // --program N
  std::vector<std::pair<int, double>> params;    // --param INDEX=NORMALISED, in order given
  double tempo = 120.0;                          // --tempo BPM
  double rate = 0.0;                             // --rate HZ; 0: the input file's rate
  int block = 512;                               // --block FRAMES
  bool doublePrecision = false;                  // --double
  double tail = 0.0;                             // --tail SECONDS
  std::string load;                              // --load IN.fxp|IN.fxb
  std::string save;                              // --save OUT.fxp|OUT.fxb
  double scale = 0.0;                            // --scale 1|1.5|2; 0: the plug-in's own choice
};

// Which options a subcommand takes, by name without the dashes.
struct OptionSet {
  std::vector<std::string> names;
  bool Has(const std::string& name) const;
};

// False with a one-line reason for unknown options, missing or malformed
// values and values out of range.
bool ParseHostOptions(const std::vector<std::string>& args, const OptionSet& allowed, HostOptions* options,
                      std::string* error);

// Strict number parsing: the whole text must be a finite number.
bool ParseDouble(const std::string& text, double* value);
bool ParseInt(const std::string& text, int* value);

// Lower-cased extension including the dot, or "".
std::string FileExtension(const std::string& path);
