#include "tools/qvhost/QvHostSession.h"

#include <cstdio>

#include "tools/qvhost/PresetFile.h"

namespace {
bool Fail(std::string* error, const std::string& reason) {
  *error = reason;
  return false;
}

bool HasChunks(const AEffect* e) { return (e->flags & effFlagsProgramChunks) != 0; }

// Values first, then the name: renaming is when some plug-ins store the program.
void SetProgramParams(TestHost& host, const PresetProgram& program) {
  for (size_t i = 0; i < program.params.size(); ++i) {
    float v = program.params[i];
    // A stored value outside 0..1 (or NaN) is not one the plug-in can have given.
    if (!(v >= 0.f)) v = 0.f;
    if (v > 1.f) v = 1.f;
    host.SetParameter(static_cast<int>(i), v);
  }
  char name[256] = {0};
  std::snprintf(name, sizeof name, "%s", program.name.c_str());
  host.Dispatch(effSetProgramName, 0, 0, name);
}

PresetProgram GetProgramParams(TestHost& host) {
  PresetProgram program;
  program.name = host.ProgramName();
  for (int i = 0; i < host.Effect()->numParams; ++i) program.params.push_back(host.GetParameter(i));
  return program;
}
}  // namespace

bool LoadPresetFile(TestHost& host, const std::string& path, std::string* error) {
  PresetFile file;
  if (!ReadPresetFile(path, &file, error)) return false;
  AEffect* e = host.Effect();
  if (file.fxID != e->uniqueID)
    return Fail(error, path + " belongs to the plug-in with ID '" + FourCCText(file.fxID) + "', not '" +
                           FourCCText(e->uniqueID) + "'");
  switch (file.kind) {
    case PresetFile::kProgramChunk:
    case PresetFile::kBankChunk: {
      if (!HasChunks(e)) return Fail(error, path + " holds a chunk, but the plug-in does not take chunks");
      bool bank = file.kind == PresetFile::kBankChunk;
      if (!host.SetChunk(file.chunk, bank))
        return Fail(error, "the plug-in refused the " + std::string(bank ? "bank" : "program") + " in " + path);
      break;
    }
    case PresetFile::kProgramParams:
      if (static_cast<int>(file.programs[0].params.size()) != e->numParams)
        return Fail(error, path + " holds " + std::to_string(file.programs[0].params.size()) +
                               " parameters, the plug-in has " + std::to_string(e->numParams));
      SetProgramParams(host, file.programs[0]);
      break;
    case PresetFile::kBankPrograms: {
      int count = static_cast<int>(file.programs.size());
      if (count > 0 && static_cast<int>(file.programs[0].params.size()) != e->numParams)
        return Fail(error, path + " holds programs of " + std::to_string(file.programs[0].params.size()) +
                               " parameters, the plug-in has " + std::to_string(e->numParams));
      if (count > e->numPrograms) {
        std::fprintf(stderr, "qvhost: %s: %d programs, the plug-in has %d; the rest are left out\n", path.c_str(),
                     count, e->numPrograms);
        count = e->numPrograms;
      }
      for (int i = 0; i < count; ++i) {
        if (static_cast<int>(file.programs[i].params.size()) != e->numParams)
          return Fail(error, path + ": program " + std::to_string(i) + " has a different parameter count");
        host.Dispatch(effSetProgram, 0, i);
        SetProgramParams(host, file.programs[i]);
      }
      break;
    }
  }
  if (file.IsBank() && file.version >= 2 && file.currentProgram >= 0 && file.currentProgram < e->numPrograms)
    host.Dispatch(effSetProgram, 0, file.currentProgram);
  return true;
}

bool SavePresetFile(TestHost& host, const std::string& path, std::string* error) {
  std::string ext = FileExtension(path);
  if (ext != ".fxp" && ext != ".fxb")
    return Fail(error, path + ": save to a .fxp (one program) or .fxb (bank) file");
  AEffect* e = host.Effect();
  const bool bank = ext == ".fxb";
  PresetFile file;
  file.fxID = e->uniqueID;
  file.fxVersion = e->version;
  file.numParams = e->numParams;
  file.numPrograms = e->numPrograms;
  file.currentProgram = static_cast<int32_t>(host.Dispatch(effGetProgram));
  file.programName = host.ProgramName();
  if (HasChunks(e)) {
    file.kind = bank ? PresetFile::kBankChunk : PresetFile::kProgramChunk;
    file.chunk = host.GetChunk(bank);
    if (file.chunk.empty()) return Fail(error, "the plug-in gave no " + std::string(bank ? "bank" : "program") + " chunk");
  } else if (!bank) {
    file.kind = PresetFile::kProgramParams;
    file.programs.push_back(GetProgramParams(host));
  } else {
    file.kind = PresetFile::kBankPrograms;
    for (int i = 0; i < e->numPrograms; ++i) {
      host.Dispatch(effSetProgram, 0, i);
      file.programs.push_back(GetProgramParams(host));
    }
    host.Dispatch(effSetProgram, 0, file.currentProgram);
  }
  return WritePresetFile(path, file, error);
}

bool ApplyStateOptions(TestHost& host, const HostOptions& options, std::string* error, bool* usageMistake) {
  AEffect* e = host.Effect();
  if (usageMistake) *usageMistake = false;
  // Numbers the plug-in does not have are checked before any file is read.
  std::string mistake;
  if (options.program >= e->numPrograms)
    mistake = "--program " + std::to_string(options.program) + ": the plug-in has programs 0 to " +
              std::to_string(e->numPrograms - 1);
  for (const auto& p : options.params)
    if (mistake.empty() && p.first >= e->numParams)
      mistake = "--param " + std::to_string(p.first) + ": the plug-in has parameters 0 to " +
                std::to_string(e->numParams - 1);
  if (!mistake.empty()) {
    if (usageMistake) *usageMistake = true;
    return Fail(error, mistake);
  }
  PresetFile file;
  bool loadIsBank = false;
  if (!options.load.empty()) {
    if (!ReadPresetFile(options.load, &file, error)) return false;
    loadIsBank = file.IsBank();
  }
  if (loadIsBank && !LoadPresetFile(host, options.load, error)) return false;
  if (options.program >= 0) host.Dispatch(effSetProgram, 0, options.program);
  if (!options.load.empty() && !loadIsBank && !LoadPresetFile(host, options.load, error)) return false;
  for (const auto& p : options.params) host.SetParameter(p.first, static_cast<float>(p.second));
  return true;
}
