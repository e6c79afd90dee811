#include "framework/IMidiEventQueue.h"

#include <climits>
#include <cstdlib>
#include <cstring>

IMidiEventQueue::IMidiEventQueue(int capacity, int growthStep) : mGrowthStep(growthStep > 0 ? growthStep : 1) {
  if (capacity > 0) {
    mMessages = static_cast<IMidiMessage*>(std::malloc(sizeof(IMidiMessage) * static_cast<size_t>(capacity)));
    if (mMessages) mCapacity = capacity;  // else start empty and grow on first use
  }
}

IMidiEventQueue::~IMidiEventQueue() { std::free(mMessages); }

bool IMidiEventQueue::Add(const IMidiMessage& message) {
  if (mBack >= mCapacity) {
    if (mFront > 0) {
      Consume(0);
    } else {
      long long grown = static_cast<long long>(mGrowthStep) * (mCapacity / mGrowthStep + 1);
      if (grown > INT_MAX / static_cast<long long>(sizeof(IMidiMessage))) return false;
      void* p = std::realloc(mMessages, sizeof(IMidiMessage) * static_cast<size_t>(grown));
      if (!p) return false;
      mMessages = static_cast<IMidiMessage*>(p);
      mCapacity = static_cast<int>(grown);
    }
  }
  int insertAt = mBack;
  if (mBack > mFront && message.offset < mMessages[mBack - 1].offset) {
    int i = mBack - 2;
    while (i >= mFront && message.offset < mMessages[i].offset) --i;
    insertAt = i + 1;
    std::memmove(&mMessages[insertAt + 1], &mMessages[insertAt],
                 sizeof(IMidiMessage) * static_cast<size_t>(mBack - insertAt));
  }
  mMessages[insertAt] = message;
  ++mBack;
  return true;
}

void IMidiEventQueue::Consume(int count) {
  mFront += count;
  if (mFront > mBack) mFront = mBack;
  if (mFront > 0) {
    mBack -= mFront;
    if (mBack > 0) std::memmove(mMessages, mMessages + mFront, sizeof(IMidiMessage) * static_cast<size_t>(mBack));
    mFront = 0;
  }
}
