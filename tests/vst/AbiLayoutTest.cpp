// The records cross the boundary to hosts built by others: every offset is
// fixed by the binary interface, for 32-bit and 64-bit builds alike.
#include <gtest/gtest.h>

#include <cstddef>

#include "vst/VstAbi.h"

#if INTPTR_MAX == INT64_MAX
static_assert(offsetof(AEffect, dispatcher) == 8, "");
static_assert(offsetof(AEffect, process) == 16, "");
static_assert(offsetof(AEffect, setParameter) == 24, "");
static_assert(offsetof(AEffect, getParameter) == 32, "");
static_assert(offsetof(AEffect, numPrograms) == 40, "");
static_assert(offsetof(AEffect, flags) == 56, "");
static_assert(offsetof(AEffect, resvd1) == 64, "");
static_assert(offsetof(AEffect, initialDelay) == 80, "");
static_assert(offsetof(AEffect, ioRatio) == 92, "");
static_assert(offsetof(AEffect, object) == 96, "");
static_assert(offsetof(AEffect, user) == 104, "");
static_assert(offsetof(AEffect, uniqueID) == 112, "");
static_assert(offsetof(AEffect, version) == 116, "");
static_assert(offsetof(AEffect, processReplacing) == 120, "");
static_assert(offsetof(AEffect, processDoubleReplacing) == 128, "");
static_assert(offsetof(AEffect, future) == 136, "");
static_assert(offsetof(VstEvents, events) == 16, "");
static_assert(offsetof(VstMidiSysexEvent, resvd1) == 24, "");
static_assert(offsetof(VstMidiSysexEvent, sysexDump) == 32, "");
static_assert(offsetof(VstMidiSysexEvent, resvd2) == 40, "");
#else
static_assert(offsetof(AEffect, dispatcher) == 4, "");
static_assert(offsetof(AEffect, process) == 8, "");
static_assert(offsetof(AEffect, setParameter) == 12, "");
static_assert(offsetof(AEffect, getParameter) == 16, "");
static_assert(offsetof(AEffect, numPrograms) == 20, "");
static_assert(offsetof(AEffect, flags) == 36, "");
static_assert(offsetof(AEffect, resvd1) == 40, "");
static_assert(offsetof(AEffect, initialDelay) == 48, "");
static_assert(offsetof(AEffect, ioRatio) == 60, "");
static_assert(offsetof(AEffect, object) == 64, "");
static_assert(offsetof(AEffect, user) == 68, "");
static_assert(offsetof(AEffect, uniqueID) == 72, "");
static_assert(offsetof(AEffect, version) == 76, "");
static_assert(offsetof(AEffect, processReplacing) == 80, "");
static_assert(offsetof(AEffect, processDoubleReplacing) == 84, "");
static_assert(offsetof(AEffect, future) == 88, "");
static_assert(offsetof(VstEvents, events) == 8, "");
static_assert(offsetof(VstMidiSysexEvent, resvd1) == 20, "");
static_assert(offsetof(VstMidiSysexEvent, sysexDump) == 24, "");
static_assert(offsetof(VstMidiSysexEvent, resvd2) == 28, "");
#endif
static_assert(offsetof(AEffect, magic) == 0, "");
static_assert(offsetof(VstMidiEvent, noteLength) == 16, "");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "");
static_assert(offsetof(VstMidiEvent, detune) == 28, "");
static_assert(offsetof(VstMidiSysexEvent, dumpBytes) == 16, "");
static_assert(offsetof(VstTimeInfo, tempo) == 32, "");
static_assert(offsetof(VstTimeInfo, cycleEndPos) == 56, "");
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64, "");
static_assert(offsetof(VstTimeInfo, flags) == 84, "");
static_assert(offsetof(VstPinProperties, flags) == 64, "");
static_assert(offsetof(VstPinProperties, shortLabel) == 72, "");
static_assert(offsetof(VstSpeakerProperties, name) == 16, "");
static_assert(offsetof(VstSpeakerProperties, type) == 80, "");
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8, "");
static_assert(offsetof(VstMidiKeyName, keyName) == 8, "");
static_assert(offsetof(ERect, right) == 6, "");

TEST(VstAbi, TagsPackFirstCharacterHighest) {
  EXPECT_EQ(kEffectMagic, 0x56737450);
  EXPECT_EQ(VstFourCC('N', 'v', 'E', 'f'), 0x4E764566);
  EXPECT_EQ(VstFourCC('q', 'v', 'b', 'd'), 0x71766264);
  EXPECT_EQ(kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid, 0x3E00);
}
