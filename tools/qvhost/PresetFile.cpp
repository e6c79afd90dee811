#include "tools/qvhost/PresetFile.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr size_t kProgramHeader = 56;  // 7 ints and the 28-byte name
constexpr size_t kBankHeader = 156;    // 8 ints and 124 reserved bytes
constexpr size_t kNameBytes = 28;

int32_t Tag(const char* t) {
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(t[0])) << 24) |
                              (static_cast<uint32_t>(static_cast<unsigned char>(t[1])) << 16) |
                              (static_cast<uint32_t>(static_cast<unsigned char>(t[2])) << 8) |
                              static_cast<uint32_t>(static_cast<unsigned char>(t[3])));
}

int32_t Be32(const uint8_t* p) {
  return static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                              (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]));
}
void PutBe32(std::vector<uint8_t>* out, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}
float BeFloat(const uint8_t* p) {
  uint32_t bits = static_cast<uint32_t>(Be32(p));
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}
void PutBeFloat(std::vector<uint8_t>* out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  PutBe32(out, static_cast<int32_t>(bits));
}
void PutName(std::vector<uint8_t>* out, const std::string& name) {
  uint8_t field[kNameBytes] = {0};
  std::memcpy(field, name.data(), name.size() < kNameBytes - 1 ? name.size() : kNameBytes - 1);
  out->insert(out->end(), field, field + kNameBytes);
}
std::string GetName(const uint8_t* p) {
  size_t len = 0;
  while (len < kNameBytes && p[len]) ++len;
  return std::string(reinterpret_cast<const char*>(p), len);
}

bool Fail(std::string* error, const std::string& reason) {
  if (error) *error = reason;
  return false;
}

// One program record at p (n bytes available); *used gets its length.
bool ParseProgram(const uint8_t* p, size_t n, PresetFile* file, PresetProgram* program, size_t* used,
                  bool allowChunk, std::string* error) {
  if (n < kProgramHeader) return Fail(error, "program record is cut short");
  if (Be32(p) != Tag("CcnK")) return Fail(error, "program record does not start with 'CcnK'");
  int32_t magic = Be32(p + 8);
  int32_t numParams = Be32(p + 24);
  program->name = GetName(p + 28);
  if (file) {
    file->version = Be32(p + 12);
    file->fxID = Be32(p + 16);
    file->fxVersion = Be32(p + 20);
    file->numParams = numParams;
    file->programName = program->name;
  }
  const size_t left = n - kProgramHeader;
  if (magic == Tag("FxCk")) {
    if (numParams < 0 || static_cast<size_t>(numParams) > left / 4)
      return Fail(error, "program claims " + std::to_string(numParams) + " parameters but holds room for " +
                             std::to_string(left / 4));
    program->params.resize(static_cast<size_t>(numParams));
    for (int32_t i = 0; i < numParams; ++i) program->params[i] = BeFloat(p + kProgramHeader + 4 * i);
    *used = kProgramHeader + 4 * static_cast<size_t>(numParams);
    if (file) file->kind = PresetFile::kProgramParams;
    return true;
  }
  if (magic == Tag("FPCh") && allowChunk) {
    if (left < 4) return Fail(error, "program chunk size is missing");
    int32_t size = Be32(p + kProgramHeader);
    if (size < 0 || static_cast<size_t>(size) > left - 4)
      return Fail(error, "program chunk claims " + std::to_string(size) + " bytes but only " +
                             std::to_string(left - 4) + " follow");
    file->chunk.assign(p + kProgramHeader + 4, p + kProgramHeader + 4 + size);
    file->kind = PresetFile::kProgramChunk;
    *used = kProgramHeader + 4 + static_cast<size_t>(size);
    return true;
  }
  return Fail(error, "unknown program type '" + FourCCText(magic) + "'");
}
}  // namespace

std::string FourCCText(int32_t id) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = static_cast<char>((static_cast<uint32_t>(id) >> shift) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

bool ParsePresetFile(const std::vector<uint8_t>& bytes, PresetFile* file, std::string* error) {
  const uint8_t* p = bytes.data();
  const size_t n = bytes.size();
  if (n < 12) return Fail(error, "too short for a preset file (" + std::to_string(n) + " bytes)");
  if (Be32(p) != Tag("CcnK")) return Fail(error, "not a preset or bank file (no 'CcnK' at the start)");
  // byteSize is not trusted: hosts disagree on it, and the bytes present bound every read below.
  PresetFile result;
  int32_t magic = Be32(p + 8);
  if (magic == Tag("FxCk") || magic == Tag("FPCh")) {
    PresetProgram program;
    size_t used = 0;
    if (!ParseProgram(p, n, &result, &program, &used, true, error)) return false;
    if (result.kind == PresetFile::kProgramParams) result.programs.push_back(std::move(program));
    *file = std::move(result);
    return true;
  }
  if (magic != Tag("FxBk") && magic != Tag("FBCh"))
    return Fail(error, "unknown preset file type '" + FourCCText(magic) + "'");
  if (n < kBankHeader) return Fail(error, "bank header is cut short");
  result.version = Be32(p + 12);
  result.fxID = Be32(p + 16);
  result.fxVersion = Be32(p + 20);
  result.numPrograms = Be32(p + 24);
  result.currentProgram = result.version >= 2 ? Be32(p + 28) : 0;
  size_t pos = kBankHeader;
  if (magic == Tag("FBCh")) {
    if (n - pos < 4) return Fail(error, "bank chunk size is missing");
    int32_t size = Be32(p + pos);
    if (size < 0 || static_cast<size_t>(size) > n - pos - 4)
      return Fail(error, "bank chunk claims " + std::to_string(size) + " bytes but only " +
                             std::to_string(n - pos - 4) + " follow");
    result.chunk.assign(p + pos + 4, p + pos + 4 + size);
    result.kind = PresetFile::kBankChunk;
  } else {
    result.kind = PresetFile::kBankPrograms;
    if (result.numPrograms < 0 || static_cast<size_t>(result.numPrograms) > (n - pos) / kProgramHeader)
      return Fail(error, "bank claims " + std::to_string(result.numPrograms) + " programs, more than it holds");
    for (int32_t i = 0; i < result.numPrograms; ++i) {
      PresetProgram program;
      size_t used = 0;
      if (!ParseProgram(p + pos, n - pos, nullptr, &program, &used, false, error))
        return Fail(error, "program " + std::to_string(i) + ": " + *error);
      result.programs.push_back(std::move(program));
      pos += used;
    }
    result.numParams = result.programs.empty() ? 0 : static_cast<int32_t>(result.programs[0].params.size());
  }
  *file = std::move(result);
  return true;
}

bool EncodePresetFile(const PresetFile& file, std::vector<uint8_t>* bytes, std::string* error) {
  std::vector<uint8_t> out;
  auto patchSize = [](std::vector<uint8_t>* v, size_t start) {
    int32_t size = static_cast<int32_t>(v->size() - start - 8);
    for (int i = 0; i < 4; ++i) (*v)[start + 4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(size) >> (24 - 8 * i));
  };
  auto putProgram = [&](const PresetProgram& program, bool chunk) {
    size_t start = out.size();
    PutBe32(&out, Tag("CcnK"));
    PutBe32(&out, 0);
    PutBe32(&out, Tag(chunk ? "FPCh" : "FxCk"));
    PutBe32(&out, 1);
    PutBe32(&out, file.fxID);
    PutBe32(&out, file.fxVersion);
    PutBe32(&out, chunk ? file.numParams : static_cast<int32_t>(program.params.size()));
    PutName(&out, program.name);
    if (chunk) {
      PutBe32(&out, static_cast<int32_t>(file.chunk.size()));
      out.insert(out.end(), file.chunk.begin(), file.chunk.end());
    } else {
      for (float f : program.params) PutBeFloat(&out, f);
    }
    patchSize(&out, start);
  };
  if (file.chunk.size() > 0x7FFFFF00u) return Fail(error, "chunk too large for a preset file");
  switch (file.kind) {
    case PresetFile::kProgramParams:
      if (file.programs.size() != 1) return Fail(error, "a program file holds exactly one program");
      putProgram(file.programs[0], false);
      break;
    case PresetFile::kProgramChunk:
      putProgram(PresetProgram{file.programName, {}}, true);
      break;
    case PresetFile::kBankPrograms:
    case PresetFile::kBankChunk: {
      const bool chunk = file.kind == PresetFile::kBankChunk;
      PutBe32(&out, Tag("CcnK"));
      PutBe32(&out, 0);
      PutBe32(&out, Tag(chunk ? "FBCh" : "FxBk"));
      PutBe32(&out, 2);
      PutBe32(&out, file.fxID);
      PutBe32(&out, file.fxVersion);
      PutBe32(&out, chunk ? file.numPrograms : static_cast<int32_t>(file.programs.size()));
      PutBe32(&out, file.currentProgram);
      out.insert(out.end(), kBankHeader - 32, 0);
      if (chunk) {
        PutBe32(&out, static_cast<int32_t>(file.chunk.size()));
        out.insert(out.end(), file.chunk.begin(), file.chunk.end());
      } else {
        for (const PresetProgram& program : file.programs) putProgram(program, false);
      }
      patchSize(&out, 0);
      break;
    }
  }
  *bytes = std::move(out);
  return true;
}

bool ReadPresetFile(const std::string& path, PresetFile* file, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Fail(error, "cannot open " + path + " for reading");
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t got;
  bool tooLarge = false;
  while (!tooLarge && (got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
    tooLarge = bytes.size() > 0x40000000u;  // 1 GiB: no plug-in state comes near it
  }
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (tooLarge) return Fail(error, path + " is larger than 1 GiB: not a preset file qvhost accepts");
  if (readError) return Fail(error, "read error on " + path);
  if (!ParsePresetFile(bytes, file, error)) return Fail(error, path + ": " + *error);
  return true;
}

bool WritePresetFile(const std::string& path, const PresetFile& file, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!EncodePresetFile(file, &bytes, error)) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return Fail(error, "cannot open " + path + " for writing");
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::remove(path.c_str());
    return Fail(error, "could not write all of " + path);
  }
  return true;
}
