// The three process entries. Host buffers are bound to the channel records at
// the start of every block; single-precision audio goes through the channel
// scratch buffers. A host that passes more frames than the block size it set
// is served in pieces of at most the block size, so nothing overflows and
// nothing allocates.
#include <algorithm>
#include <cstring>

#include "framework/ProbedLock.h"
#include "vst/IPluginVST.h"

std::atomic<IPluginVST::ProcessLockProbe> IPluginVST::processLockProbe{nullptr};

void IPluginVST::ProcessFloat(float** inputs, float** outputs, VstInt32 frames, bool accumulate) {
  ProbedLock lock(Mutex(), processLockProbe);
  if (HandlesMidi()) Host(audioMasterWantMidi);
  int piece = BlockSize();
  if (frames > 0 && piece < 1) {
    // No scratch memory: the only safe answer is silence.
    if (!accumulate && outputs)
      for (int k = 0; k < NOutChannels(); ++k)
        if (outputs[k]) std::memset(outputs[k], 0, sizeof(float) * static_cast<size_t>(frames));
    return;
  }
  int done = 0;
  do {
    int n = std::min(frames - done, piece);
    if (n < 0) n = 0;
    int k = 0;
    for (int i = 0; i < NInChannels(); ++i) {
      IInputChannel& c = InChannel(i);
      if (!c.connected) continue;
      double* scratch = c.scratch.Samples();
      const float* in = inputs ? inputs[k] : nullptr;
      if (in) {
        for (int f = 0; f < n; ++f) scratch[f] = in[done + f];
      } else if (n > 0) {
        std::memset(scratch, 0, sizeof(double) * static_cast<size_t>(n));
      }
      *c.slot = scratch;
      ++k;
    }
    k = 0;
    for (int i = 0; i < NOutChannels(); ++i) {
      IOutputChannel& c = OutChannel(i);
      if (!c.connected) continue;
      // Outputs the product leaves unwritten come out silent, not stale.
      if (n > 0) std::memset(c.scratch.Samples(), 0, sizeof(double) * static_cast<size_t>(n));
      *c.slot = c.scratch.Samples();
      c.floatDestination = outputs && outputs[k] ? outputs[k] + done : nullptr;
      ++k;
    }
    ProcessBlock(InputPointers(), OutputPointers(), n);
    for (int i = 0; i < NOutChannels(); ++i) {
      IOutputChannel& c = OutChannel(i);
      if (!c.connected || !c.floatDestination) continue;
      const double* out = c.scratch.Samples();
      if (accumulate) {
        for (int f = 0; f < n; ++f) c.floatDestination[f] += static_cast<float>(out[f]);
      } else {
        for (int f = 0; f < n; ++f) c.floatDestination[f] = static_cast<float>(out[f]);
      }
    }
    done += n;
  } while (done < frames);
}

void VSTCALLBACK IPluginVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  if (IPluginVST* plug = FromEffect(effect)) plug->ProcessFloat(inputs, outputs, frames, true);
}

void VSTCALLBACK IPluginVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                                 VstInt32 frames) {
  if (IPluginVST* plug = FromEffect(effect)) plug->ProcessFloat(inputs, outputs, frames, false);
}

void VSTCALLBACK IPluginVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                       VstInt32 frames) {
  IPluginVST* plug = FromEffect(effect);
  if (!plug) return;
  ProbedLock lock(plug->Mutex(), processLockProbe);
  if (plug->HandlesMidi()) plug->Host(audioMasterWantMidi);
  // Disconnected channels read and write their scratch buffers, so pieces stay within the block size.
  int piece = plug->BlockSize();
  if (frames > 0 && piece < 1) {
    if (outputs)
      for (int k = 0; k < plug->NOutChannels(); ++k)
        if (outputs[k]) std::memset(outputs[k], 0, sizeof(double) * static_cast<size_t>(frames));
    return;
  }
  int done = 0;
  do {
    int n = std::max(0, std::min(frames - done, piece));
    int k = 0;
    for (int i = 0; i < plug->NInChannels(); ++i) {
      IInputChannel& c = plug->InChannel(i);
      if (!c.connected) continue;
      double* in = inputs ? inputs[k] : nullptr;
      *c.slot = in ? in + done : c.scratch.Samples();
      ++k;
    }
    k = 0;
    for (int i = 0; i < plug->NOutChannels(); ++i) {
      IOutputChannel& c = plug->OutChannel(i);
      if (!c.connected) continue;
      double* out = outputs ? outputs[k] : nullptr;
      *c.slot = out ? out + done : c.scratch.Samples();
      ++k;
    }
    plug->ProcessBlock(plug->InputPointers(), plug->OutputPointers(), n);
    done += n;
  } while (done < frames);
}
