// Messages waiting for their time, kept in offset order. The memory is taken
// once, at construction (off the audio thread); a full queue drops the new
// message and counts it, so adding never allocates.
#pragma once

#include "framework/IMidiMessage.h"

class IMidiEventQueue {
 public:
  explicit IMidiEventQueue(int capacity);
  ~IMidiEventQueue();
  IMidiEventQueue(const IMidiEventQueue&) = delete;
  IMidiEventQueue& operator=(const IMidiEventQueue&) = delete;

  // False when the message was dropped (the queue is full).
  bool Add(const IMidiMessage& message);

  int Front() const { return mFront; }
  int Back() const { return mBack; }
  int Capacity() const { return mCapacity; }
  bool Empty() const { return mFront == mBack; }
  // Messages dropped because the queue was full, since construction.
  long long Dropped() const { return mDropped; }
  IMidiMessage& At(int index) { return mMessages[index]; }
  const IMidiMessage& At(int index) const { return mMessages[index]; }
  // Drops the first count pending messages and moves the rest to the start:
  // one move, however many are dropped.
  void Consume(int count);
  void Clear() { mFront = mBack = 0; }

 private:
  IMidiMessage* mMessages = nullptr;
  int mCapacity = 0;
  int mFront = 0;
  int mBack = 0;
  long long mDropped = 0;
};
