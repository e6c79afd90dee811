// The framework's trace facility. The shipped configuration writes nothing:
// a sink must be installed (tests, debugging sessions) before any text is made.
#pragma once

using TraceSink = void (*)(const char* location, int line, const char* message);

void Trace(const char* location, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// True while a sink is installed: callers skip costly arguments otherwise.
bool TraceActive();

// Installs a sink; null restores the silent state. Returns the previous sink.
TraceSink SetTraceSink(TraceSink sink);

// "YYYYMMDD HH:MM +hhmm" of the current local time, in one static buffer.
const char* TraceTimestamp();
