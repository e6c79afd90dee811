// Messages waiting for their time, kept in offset order. Only the owner's
// growth step allocates; a queue that cannot grow drops the new message.
#pragma once

#include "framework/IMidiMessage.h"

class IMidiEventQueue {
 public:
  IMidiEventQueue(int capacity, int growthStep);
  ~IMidiEventQueue();
  IMidiEventQueue(const IMidiEventQueue&) = delete;
  IMidiEventQueue& operator=(const IMidiEventQueue&) = delete;

  // False when the message was dropped.
  bool Add(const IMidiMessage& message);

  int Front() const { return mFront; }
  int Back() const { return mBack; }
  int Capacity() const { return mCapacity; }
  bool Empty() const { return mFront == mBack; }
  IMidiMessage& At(int index) { return mMessages[index]; }
  const IMidiMessage& At(int index) const { return mMessages[index]; }
  // Drops the first count pending messages and moves the rest to the start.
  void Consume(int count);
  void Clear() { mFront = mBack = 0; }

 private:
  IMidiMessage* mMessages = nullptr;
  int mCapacity = 0;
  int mGrowthStep;
  int mFront = 0;
  int mBack = 0;
};
