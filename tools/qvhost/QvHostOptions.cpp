#include "tools/qvhost/QvHostOptions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

bool OptionSet::Has(const std::string& name) const {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool ParseDouble(const std::string& text, double* value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool ParseInt(const std::string& text, int* value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || v < -2147483647L - 1 || v > 2147483647L) return false;
  *value = static_cast<int>(v);
  return true;
}

std::string FileExtension(const std::string& path) {
  size_t dot = path.find_last_of('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

namespace {
bool Fail(std::string* error, const std::string& reason) {
  *error = reason;
  return false;
}
}  // namespace

bool ParseHostOptions(const std::vector<std::string>& args, const OptionSet& allowed, HostOptions* options,
                      std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      options->positional.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2);
    if (!allowed.Has(name)) return Fail(error, "unknown option " + arg);
    if (name == "double") {
      options->doublePrecision = true;
      continue;
    }
    if (i + 1 >= args.size()) return Fail(error, arg + " needs a value");
    const std::string& value = args[++i];
    if (name == "program") {
      if (!ParseInt(value, &options->program) || options->program < 0)
        return Fail(error, "--program takes a program number from 0, not '" + value + "'");
    } else if (name == "param") {
      size_t eq = value.find('=');
      int index = 0;
      double v = 0;
      if (eq == std::string::npos || !ParseInt(value.substr(0, eq), &index) || !ParseDouble(value.substr(eq + 1), &v))
        return Fail(error, "--param takes INDEX=NORMALISED, not '" + value + "'");
      if (index < 0 || v < 0.0 || v > 1.0)
        return Fail(error, "--param " + value + ": the index must be 0 or more and the value within 0..1");
      options->params.emplace_back(index, v);
    } else if (name == "tempo") {
      if (!ParseDouble(value, &options->tempo) || options->tempo < 1.0 || options->tempo > 999.0)
        return Fail(error, "--tempo takes beats per minute from 1 to 999, not '" + value + "'");
    } else if (name == "rate") {
      if (!ParseDouble(value, &options->rate) || options->rate < 8000.0 || options->rate > 768000.0)
        return Fail(error, "--rate takes a sample rate from 8000 to 768000 Hz, not '" + value + "'");
    } else if (name == "block") {
      if (!ParseInt(value, &options->block) || options->block < 1 || options->block > 65536)
        return Fail(error, "--block takes a block size from 1 to 65536 frames, not '" + value + "'");
    } else if (name == "tail") {
      if (!ParseDouble(value, &options->tail) || options->tail < 0.0 || options->tail > 3600.0)
        return Fail(error, "--tail takes seconds from 0 to 3600, not '" + value + "'");
    } else if (name == "scale") {
      if (!ParseDouble(value, &options->scale) || (options->scale != 1.0 && options->scale != 1.5 && options->scale != 2.0))
        return Fail(error, "--scale takes 1, 1.5 or 2, not '" + value + "'");
    } else if (name == "load") {
      options->load = value;
    } else if (name == "save") {
      options->save = value;
    }
  }
  return true;
}
