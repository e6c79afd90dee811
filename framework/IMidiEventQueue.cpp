#include "framework/IMidiEventQueue.h"

#include <cstdlib>
#include <cstring>

IMidiEventQueue::IMidiEventQueue(int capacity) {
  if (capacity > 0) {
    mMessages = static_cast<IMidiMessage*>(std::malloc(sizeof(IMidiMessage) * static_cast<size_t>(capacity)));
    if (mMessages) mCapacity = capacity;  // else every message is dropped
  }
}

IMidiEventQueue::~IMidiEventQueue() { std::free(mMessages); }

bool IMidiEventQueue::Add(const IMidiMessage& message) {
  if (mBack >= mCapacity) {
    if (mFront == 0) {
      ++mDropped;
      return false;
    }
    Consume(0);
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
  if (count < 0) count = 0;
  mFront = count > mBack - mFront ? mBack : mFront + count;
  if (mFront > 0) {
    mBack -= mFront;
    if (mBack > 0) std::memmove(mMessages, mMessages + mFront, sizeof(IMidiMessage) * static_cast<size_t>(mBack));
    mFront = 0;
  }
}
