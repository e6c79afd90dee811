// IComponent::setState on arbitrary bytes (our program chunk, a VST 2 bank
// or program file with or without the host's header, or anything). What
// loads re-saves to a state that reloads and re-saves byte-identically; every
// parameter stays finite in 0..1 and the instance processes to finite output.
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<Vst3TestHost> host = fuzz::StartedVst3Instance();
  Vst3MemoryStream stream(std::vector<uint8_t>(data, data + size));
  // Short reads, as some hosts' streams give them.
  stream.readLimit = size > 0 && (data[0] & 0x80) ? 13 : 0x7FFFFFFF;
  const bool loaded = host->component->setState(&stream) == v3::kResultOk;
  fuzz::CheckInstance(*host);
  if (loaded) {
    const std::vector<uint8_t> saved = host->GetState();
    FUZZ_CHECK(!saved.empty());
    FUZZ_CHECK(host->SetState(saved));
    FUZZ_CHECK(host->GetState() == saved);
  }
  fuzz::CheckProcessFinite(*host, 64, static_cast<uint32_t>(size));
  return 0;
}
