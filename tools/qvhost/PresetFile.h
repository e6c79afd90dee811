// Preset (.fxp) and bank (.fxb) files: the big-endian "CcnK" container that
// VST 2 hosts exchange. Programs hold either a parameter list ('FxCk') or an
// opaque chunk ('FPCh'); banks hold a list of programs ('FxBk') or one opaque
// chunk ('FBCh').
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PresetProgram {
  std::string name;           // at most 27 characters are stored
  std::vector<float> params;  // 'FxCk' only
};

struct PresetFile {
  enum Kind { kProgramParams, kProgramChunk, kBankPrograms, kBankChunk };
  Kind kind = kProgramChunk;
  int32_t version = 1;  // of the container: programs write 1, banks 2 (which adds currentProgram)
  int32_t fxID = 0;
  int32_t fxVersion = 0;
  int32_t numPrograms = 0;     // banks
  int32_t currentProgram = 0;  // banks of version 2 and above
  int32_t numParams = 0;       // programs
  std::string programName;     // programs
  std::vector<PresetProgram> programs;  // 'FxBk'
  std::vector<uint8_t> chunk;           // 'FPCh' and 'FBCh'

  bool IsBank() const { return kind == kBankPrograms || kind == kBankChunk; }
};

bool ParsePresetFile(const std::vector<uint8_t>& bytes, PresetFile* file, std::string* error);
bool EncodePresetFile(const PresetFile& file, std::vector<uint8_t>* bytes, std::string* error);
bool ReadPresetFile(const std::string& path, PresetFile* file, std::string* error);
bool WritePresetFile(const std::string& path, const PresetFile& file, std::string* error);

// The four characters of an ID, as printed next to it.
std::string FourCCText(int32_t id);
