#include "framework/Trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

static std::atomic<TraceSink> gSink{nullptr};

void Trace(const char* location, int line, const char* format, ...) {
  TraceSink sink = gSink.load(std::memory_order_acquire);
  if (!sink) return;
  char message[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof(message), format, args);
  va_end(args);
  sink(location, line, message);
}

bool TraceActive() { return gSink.load(std::memory_order_acquire) != nullptr; }

TraceSink SetTraceSink(TraceSink sink) { return gSink.exchange(sink, std::memory_order_acq_rel); }

const char* TraceTimestamp() {
  static char buffer[64];
  std::time_t now = std::time(nullptr);
  std::tm local{}, utc{};
#if defined(_WIN32)
  localtime_s(&local, &now);
  gmtime_s(&utc, &now);
#else
  localtime_r(&now, &local);
  gmtime_r(&now, &utc);
#endif
  int offset = (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
  if (local.tm_yday != utc.tm_yday) {
    // A difference of more than one day is a year wrap.
    bool localAhead = (local.tm_yday - utc.tm_yday == 1) || (local.tm_yday - utc.tm_yday < -1);
    offset += localAhead ? 1440 : -1440;
  }
  size_t n = std::strftime(buffer, sizeof(buffer), "%Y%m%d %H:%M ", &local);
  int magnitude = std::abs(offset);
  std::snprintf(buffer + n, sizeof(buffer) - n, "%c%02d%02d", offset < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return buffer;
}
