#include "tools/qvhost/QvHostCommands.h"

#include <cstdint>
#include <cstdio>

#include "tests/host/TestHost.h"

int RunInfo(VstEntryProc entry, const char* path) {
  TestHost host;
  if (!host.Create(entry)) {
    std::fprintf(stderr, "qvhost: %s: the entry point made no instance\n", path);
    return 1;
  }
  host.Open();
  const AEffect* e = host.Effect();
  char name[256] = {0}, vendor[256] = {0};
  host.Dispatch(effGetEffectName, 0, 0, name);
  host.Dispatch(effGetVendorString, 0, 0, vendor);
  const char* magic = reinterpret_cast<const char*>(&e->magic);
  const char* id = reinterpret_cast<const char*>(&e->uniqueID);
  std::printf("plug-in       %s\n", path);
  std::printf("effect        %s (%s)\n", name, vendor);
  std::printf("magic         0x%08X '%c%c%c%c'\n", static_cast<unsigned>(e->magic), magic[3], magic[2], magic[1], magic[0]);
  std::printf("uniqueID      0x%08X '%c%c%c%c'\n", static_cast<unsigned>(e->uniqueID), id[3], id[2], id[1], id[0]);
  std::printf("version       %d\n", e->version);
  std::printf("flags         0x%04X\n", static_cast<unsigned>(e->flags));
  std::printf("programs      %d\n", e->numPrograms);
  std::printf("parameters    %d\n", e->numParams);
  std::printf("inputs        %d\n", e->numInputs);
  std::printf("outputs       %d\n", e->numOutputs);
  std::printf("initialDelay  %d\n", e->initialDelay);
  std::printf("ioRatio       %g\n", static_cast<double>(e->ioRatio));
  std::printf("\nparameters:\n");
  for (int i = 0; i < e->numParams; ++i) {
    std::printf("  %d  %-20s %-12s %s\n", i, host.ParamText(effGetParamName, i).c_str(),
                host.ParamText(effGetParamDisplay, i).c_str(), host.ParamText(effGetParamLabel, i).c_str());
  }
  std::printf("\nprograms:\n");
  for (int i = 0; i < e->numPrograms; ++i) {
    char program[256] = {0};
    host.Dispatch(effGetProgramNameIndexed, i, 0, program);
    std::printf("  %d  %s\n", i, program);
  }
  std::printf("\ncan do:\n");
  const char* questions[] = {"receiveVstTimeInfo", "sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
                             "receiveVstMidiEvent", "hasCockosExtensions", "bypass", "offline"};
  // Through the pointer-sized unsigned type: a 32-bit answer such as
  // 0xBEEF0000 must not print sign-extended to 64 bits.
  for (const char* q : questions)
    std::printf("  %-22s 0x%llX\n", q,
                static_cast<unsigned long long>(static_cast<uintptr_t>(host.Dispatch(effCanDo, 0, 0, const_cast<char*>(q)))));
  return 0;
}
