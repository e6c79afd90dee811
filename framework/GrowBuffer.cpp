#include "framework/GrowBuffer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
void* DefaultReallocate(void* data, size_t bytes) { return std::realloc(data, bytes); }
}  // namespace

GrowBuffer::Reallocator GrowBuffer::reallocate = &DefaultReallocate;

GrowBuffer::GrowBuffer(int granularity) : mGranularity(granularity > 0 ? granularity : 1) {}

GrowBuffer::~GrowBuffer() { std::free(mData); }

long long GrowBuffer::AllocationFor(long long n, int granularity) {
  if (n < 1) return 0;
  long long alloc;
  if (granularity < 4096) {
    alloc = n + std::max<long long>(n / 2, granularity);
  } else {
    long long g = std::max<long long>(n / 2, granularity) & ~4095LL;
    g = std::min<long long>(std::max<long long>(g, 4096), 4194304);
    alloc = ((n + 96 + g) & ~4095LL) - 96;
  }
  return alloc > INT_MAX ? -1 : alloc;
}

void* GrowBuffer::Resize(int n, bool allowShrink) {
  if (n < 0) n = 0;
  if (n == mSize && !(allowShrink && n < mAllocated / 2)) return mSize ? mData : nullptr;

  long long shrinkLimit = 0;
  if (allowShrink && n < mSize)
    shrinkLimit = std::max<long long>(1, std::min<long long>((long long)mAllocated - 4LL * mGranularity, mAllocated / 2));

  if (n > mAllocated || n < shrinkLimit) {
    long long wanted = AllocationFor(n, mGranularity);
    if (wanted < 0) return nullptr;  // would not fit 32 bits: keep what we have
    int newAlloc = static_cast<int>(wanted);
    if (newAlloc != mAllocated) {
      if (newAlloc == 0) {
        std::free(mData);
        mData = nullptr;
      } else {
        void* p = reallocate(mData, static_cast<size_t>(newAlloc));
        if (!p) {
          p = reallocate(nullptr, static_cast<size_t>(newAlloc));
          if (!p) return nullptr;
          if (mData) std::memcpy(p, mData, static_cast<size_t>(std::min(mSize, n)));
          std::free(mData);
        }
        mData = p;
      }
      mAllocated = newAlloc;
    }
  }
  mSize = n;
  return mSize ? mData : nullptr;
}
