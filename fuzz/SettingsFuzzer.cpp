// The settings file: bytes written as the file, read by the private-profile
// reader and by the product's controller map. Reads stay within the size asked
// for, the map survives a save and a reload (entries below 0 are not saved by
// design), and learned controllers, whatever their targets, process safely.
#include <unistd.h>

#include <string>

#include "fuzz/FuzzSupport.h"
#include "platform/PrivateProfile.h"
#include "product/Effect.h"

namespace {
std::string TempPath(const char* stem) {
  std::string path = std::string(P_tmpdir) + "/" + stem + "-" + std::to_string(getpid()) + ".ini";
  return path;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f);
  if (size) FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  std::fclose(f);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<TestHost> host = fuzz::StartedInstance();
  static const std::string input = TempPath("qv-fuzz-settings-in");
  static const std::string output = TempPath("qv-fuzz-settings-out");
  Effect* plug = static_cast<Effect*>(IPluginVST::FromEffect(host->Effect()));
  WriteFile(input, data, size);

  for (int limit : {1, 2, 5, 64}) {
    for (const char* section : {"MIDI Control", "midi control", ""})
      for (const char* key : {"CC0", "CC7", "cc119", ""}) {
        std::string value = ReadProfileValue(input, section, key, "-1", limit);
        FUZZ_CHECK(value.size() <= static_cast<size_t>(limit - 1));
      }
  }

  for (int n = 0; n < kNumControllers; ++n) plug->SetControllerTarget(n, -1);
  plug->SetSettingsPath(input);
  plug->ReadControllerSettings();
  int map[kNumControllers];
  for (int n = 0; n < kNumControllers; ++n) map[n] = plug->ControllerTarget(n);

  plug->SetSettingsPath(output);
  std::remove(output.c_str());
  FUZZ_CHECK(plug->WriteControllerSettings());
  for (int n = 0; n < kNumControllers; ++n) plug->SetControllerTarget(n, 7);
  plug->ReadControllerSettings();
  for (int n = 0; n < kNumControllers; ++n) FUZZ_CHECK(plug->ControllerTarget(n) == (map[n] >= 0 ? map[n] : -1));

  // Every controller at once, at both ends of its range, through the queue.
  for (int n = 0; n < kNumControllers; ++n) plug->SetControllerTarget(n, map[n]);
  std::vector<VstMidiEvent> events;
  for (int n = 0; n < kNumControllers; ++n) {
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = n % 64;
    e.midiData[0] = static_cast<char>(0xB0);
    e.midiData[1] = static_cast<char>(n);
    e.midiData[2] = static_cast<char>((n & 1) ? 127 : 0);
    events.push_back(e);
  }
  host->SendMidi(events);
  fuzz::CheckProcessFinite(*host, 128, static_cast<uint32_t>(size));
  fuzz::CheckInstance(*host);
  return 0;
}
