// The VST 3 class id of a plug-in that succeeds a VST 2 one: "VST" (or "VSE"
// for a controller), the VST 2 unique id, then the first nine characters of
// the effect name in lower case, read as four big-endian 32-bit words. Hosts
// then load the VST 3 edition in place of the VST 2 one in old projects.
#pragma once

#include <cctype>
#include <cstdint>

#include "vst3/Vst3Abi.h"

struct Vst3ClassWords {
  uint32_t l[4];
};

inline Vst3ClassWords MigrationClassWords(int32_t vst2UniqueID, const char* effectName, bool controller = false) {
  unsigned char bytes[16] = {0x56, 0x53, static_cast<unsigned char>(controller ? 0x45 : 0x54)};
  const uint32_t id = static_cast<uint32_t>(vst2UniqueID);
  for (int i = 0; i < 4; ++i) bytes[3 + i] = static_cast<unsigned char>(id >> (24 - 8 * i));
  bool ended = !effectName;
  for (int i = 0; i < 9; ++i) {
    if (!ended && effectName[i] == '\0') ended = true;
    bytes[7 + i] = ended ? 0 : static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(effectName[i])));
  }
  Vst3ClassWords w{};
  for (int k = 0; k < 4; ++k)
    w.l[k] = (uint32_t{bytes[4 * k]} << 24) | (uint32_t{bytes[4 * k + 1]} << 16) | (uint32_t{bytes[4 * k + 2]} << 8) |
             bytes[4 * k + 3];
  return w;
}

inline v3::TUID MigrationClassId(int32_t vst2UniqueID, const char* effectName, bool controller = false) {
  const Vst3ClassWords w = MigrationClassWords(vst2UniqueID, effectName, controller);
  return v3::MakeTUID(w.l[0], w.l[1], w.l[2], w.l[3]);
}
