// Writes the seed inputs that need our own code: program and bank chunks of
// every factory preset (as the chunk target reads them: a kind byte, then the
// chunk) and a few host-call scripts for the sequence target.
#include <sys/stat.h>

#include <string>

#include "fuzz/FuzzSupport.h"

namespace {
void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fclose(f);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CHUNK-DIR SEQUENCE-DIR\n", argv[0]);
    return 2;
  }
  const std::string chunks = argv[1], sequences = argv[2];
  mkdir(chunks.c_str(), 0755);
  mkdir(sequences.c_str(), 0755);
  std::unique_ptr<TestHost> host = fuzz::StartedInstance();
  for (int p = 0; p < host->Effect()->numPrograms; ++p) {
    host->Dispatch(effSetProgram, 0, p);
    std::vector<uint8_t> program = host->GetChunk(false);
    program.insert(program.begin(), 1);
    Write(chunks + "/program-" + std::to_string(p), program);
  }
  std::vector<uint8_t> bank = host->GetChunk(true);
  bank.insert(bank.begin(), 0);
  Write(chunks + "/bank", bank);
  uint32_t s = 12345;
  for (int n = 0; n < 16; ++n) {
    std::vector<uint8_t> script(64 + 48 * static_cast<size_t>(n));
    for (uint8_t& b : script) b = static_cast<uint8_t>((s = s * 1664525u + 1013904223u) >> 24);
    Write(sequences + "/script-" + std::to_string(n), script);
  }
  return 0;
}
