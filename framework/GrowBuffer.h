// A growable heap block with a fixed resize rule: it grows ahead of demand
// and shrinks only when asked to, so repeated appends stay cheap.
#pragma once

#include <cstddef>

class GrowBuffer {
 public:
  explicit GrowBuffer(int granularity = 4096);
  ~GrowBuffer();
  GrowBuffer(const GrowBuffer&) = delete;
  GrowBuffer& operator=(const GrowBuffer&) = delete;

  // Sets the size to n bytes (n below 0 counts as 0), keeping the first
  // min(old size, n) bytes. Returns the data address, or null when the size
  // is 0 or the memory could not be had (then the size is unchanged).
  void* Resize(int n, bool allowShrink = false);

  void* Data() const { return mData; }
  int Size() const { return mSize; }
  int Allocated() const { return mAllocated; }
  int Granularity() const { return mGranularity; }

  // Allocated size the resize rule picks for n bytes; -1 when it would not fit 32 bits.
  static long long AllocationFor(long long n, int granularity);

  // realloc by default (realloc(nullptr, n) allocates); tests replace it to
  // make particular allocations fail or move.
  using Reallocator = void* (*)(void* data, size_t bytes);
  static Reallocator reallocate;

 private:
  void* mData = nullptr;
  int mSize = 0;
  int mAllocated = 0;
  int mGranularity;
};
