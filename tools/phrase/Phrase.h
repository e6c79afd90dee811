// The demo's test phrase, synthesised: four bars at 120 BPM of a plucked
// string arpeggio (Karplus-Strong) over a small drum kit, stereo. The last
// bar thins out to a single strum and kick so that echoes, resonances and
// tails can be heard on their own.
#pragma once

#include "tools/qvhost/WavFile.h"

WavAudio MakePhrase(unsigned sampleRate);
