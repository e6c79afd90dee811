#include "framework/IStateChunk.h"

#include <climits>
#include <cstring>

bool IStateChunk::Append(const void* bytes, int n) {
  if (n <= 0) return n == 0;
  int old = Size();
  if (old > INT_MAX - n) return false;
  if (!mBuffer.Resize(old + n)) return false;
  std::memcpy(Bytes() + old, bytes, static_cast<size_t>(n));
  return true;
}

bool IStateChunk::AppendString(const char* text) {
  if (!text) text = "";
  size_t length = std::strlen(text);
  if (length > static_cast<size_t>(INT_MAX - 4)) return false;
  int32_t n = static_cast<int32_t>(length);
  int old = Size();
  if (!Put(n)) return false;
  if (!Append(text, n)) {
    mBuffer.Resize(old);
    return false;
  }
  return true;
}

int IStateChunk::Read(void* destination, int n, int position) const {
  if (position < 0 || n < 0 || n > Size() - position) return -1;
  if (n > 0) std::memcpy(destination, Bytes() + position, static_cast<size_t>(n));
  return position + n;
}

int IStateChunk::ReadString(char* destination, int capacity, int position) const {
  int32_t n = 0;
  int textStart = Get(&n, position);
  if (textStart < 0 || n < 0) return -1;
  if (n > Size() - textStart) return n > INT_MAX - textStart ? -1 : textStart + n;  // text not there: unchanged
  if (capacity > 0) {
    int kept = n < capacity - 1 ? n : capacity - 1;
    if (kept > 0) std::memcpy(destination, Bytes() + textStart, static_cast<size_t>(kept));
    destination[kept > 0 ? kept : 0] = '\0';
  }
  return textStart + n;
}

bool IStateChunk::Resize(int n) {
  int old = Size();
  if (n < 0) n = 0;
  mBuffer.Resize(n);
  if (Size() != n) return false;  // the memory could not be had
  if (n > old) std::memset(Bytes() + old, 0, static_cast<size_t>(n - old));
  return true;
}

void WriteChunkHeader(IStateChunk& chunk) {
  chunk.Clear();
  chunk.Put(kChunkHeaderMagic);
  chunk.Put(kChunkHeaderVersion);
}

int32_t ReadChunkHeader(const IStateChunk& chunk, int& position) {
  int32_t magic = 0;
  int next = chunk.Get(&magic, position);
  if (next < 0 || magic != kChunkHeaderMagic) return 0;
  int32_t version = 0;
  next = chunk.Get(&version, next);
  if (next < 0) {
    position = -1;
    return 0;
  }
  position = next;
  return version;
}
