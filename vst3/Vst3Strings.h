// Text between our 8-bit strings and the 16-bit strings of VST 3 records.
#pragma once

#include "vst3/Vst3Abi.h"

// Copies at most size - 1 characters and always terminates; bytes map to the
// code points of the same value.
inline void ToTChar(v3::TChar* dst, const char* src, int size) {
  int i = 0;
  if (src)
    for (; i < size - 1 && src[i]; ++i) dst[i] = static_cast<v3::TChar>(static_cast<unsigned char>(src[i]));
  dst[i] = 0;
}

// The other way; code points above 0xFF become '?'.
inline void FromTChar(char* dst, const v3::TChar* src, int size) {
  int i = 0;
  if (src)
    for (; i < size - 1 && src[i]; ++i) dst[i] = src[i] < 0x100 ? static_cast<char>(src[i]) : '?';
  dst[i] = 0;
}
