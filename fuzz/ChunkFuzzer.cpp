// effSetChunk on a running instance, program (first byte odd) or bank path.
// Whatever loads must re-save to a chunk that reloads and re-saves
// byte-identically, leave every parameter finite in 0..1 and every text within
// its field, and process to finite output. The plug-in's own get pointer,
// handed straight back as some hosts do, must load as itself.
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<TestHost> host = fuzz::StartedInstance();
  if (size < 1) return 0;
  const bool bank = (data[0] & 1) == 0;
  const VstInt32 kind = bank ? 0 : 1;
  std::vector<uint8_t> chunk(data + 1, data + size);
  const bool loaded = host->SetChunk(chunk, bank);
  fuzz::CheckInstance(*host);
  if (!loaded) return 0;

  std::vector<uint8_t> saved = host->GetChunk(bank);
  FUZZ_CHECK(!saved.empty());
  FUZZ_CHECK(host->SetChunk(saved, bank));
  FUZZ_CHECK(host->GetChunk(bank) == saved);

  void* own = nullptr;
  VstIntPtr ownSize = host->Dispatch(effGetChunk, kind, 0, &own);
  FUZZ_CHECK(ownSize == static_cast<VstIntPtr>(saved.size()) && own);
  FUZZ_CHECK(host->Dispatch(effSetChunk, kind, ownSize, own) == 1);
  FUZZ_CHECK(host->GetChunk(bank) == saved);

  fuzz::CheckInstance(*host);
  fuzz::CheckProcessFinite(*host, 64, static_cast<uint32_t>(size));
  return 0;
}
