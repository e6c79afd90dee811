// A growable byte buffer with append and read primitives for state chunks.
// Values are little-endian; reads return the next position, or -1 when the
// data ends early (nothing is read then).
#pragma once

#include <cstdint>

#include "framework/GrowBuffer.h"

constexpr int32_t kChunkHeaderMagic = 0x70666674;  // 'pfft'
constexpr int32_t kChunkHeaderVersion = 0x00010000;

class IStateChunk {
 public:
  explicit IStateChunk(int granularity = 4096) : mBuffer(granularity) {}

  int Size() const { return mBuffer.Size(); }
  unsigned char* Bytes() { return static_cast<unsigned char*>(mBuffer.Data()); }
  const unsigned char* Bytes() const { return static_cast<const unsigned char*>(mBuffer.Data()); }

  // Appends n bytes; false (and nothing appended) when memory cannot be had.
  bool Append(const void* bytes, int n);
  bool AppendString(const char* text);
  template <typename T>
  bool Put(const T& value) {
    return Append(&value, static_cast<int>(sizeof(T)));
  }

  int Read(void* destination, int n, int position) const;
  template <typename T>
  int Get(T* value, int position) const {
    return Read(value, static_cast<int>(sizeof(T)), position);
  }
  // Reads a length-prefixed string into destination, which holds capacity
  // bytes; longer texts are cut to capacity - 1. A negative length is a failed
  // read. Returns position + 4 + length, or -1.
  int ReadString(char* destination, int capacity, int position) const;

  // New bytes are zero. False when memory cannot be had.
  bool Resize(int n);
  void Clear() { mBuffer.Resize(0); }

 private:
  GrowBuffer mBuffer;
};

void WriteChunkHeader(IStateChunk& chunk);
// Returns the header version (0 without a header) and moves position past it.
int32_t ReadChunkHeader(const IStateChunk& chunk, int& position);
