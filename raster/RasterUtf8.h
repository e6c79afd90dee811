// The lenient UTF-8 reading used by text drawing: invalid bytes stand for
// themselves, characters beyond 16 bits become a space.
#pragma once

// Decodes one character at p, reading at most `available` bytes (negative:
// unlimited, the text ends at a zero byte). Stores the 16-bit code and
// returns the number of bytes used (at least 1).
int RasterDecodeUtf8(const char* p, int available, unsigned short* code);

// True if the bytes hold any valid multi-byte sequence, that is, if the text
// needs converting to UTF-16 for the platform's wide text calls.
bool RasterHasUtf8Sequence(const char* text, int length);
