#include "framework/HostKind.h"

#include <cctype>
#include <cstring>
#include <string>

namespace {
struct HostKey {
  const char* key;
  HostKind kind;
};

// Search order matters: "cubase" wins over "nuendo", and "live" matches inside longer words.
const HostKey kHostKeys[] = {
    {"cubase", kHostCubase},       {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},       {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude}, {"fruity", kHostFL},
    {"live", kHostAbletonLive},    {"melodyne", kHostMelodyne},
    {"vstmanlib", kHostVSTScanner}, {"aulab", kHostAULab},
    {"garageband", kHostGarageBand}, {"forte", kHostForte},
    {"chainer", kHostChainer},     {"audition", kHostAudition},
    {"orion", kHostOrion},         {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},         {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch}, {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost}, {"protools", kHostProTools},
    {"ardour", kHostArdour},       {"openmpt", kHostOpenMPT},
    {"renoise", kHostRenoise},     {"standalone", kHostStandalone},
};
}  // namespace

HostKind HostKindFromName(const char* name) {
  if (!name) return kHostUnknown;
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const HostKey& entry : kHostKeys)
    if (lower.find(entry.key) != std::string::npos) return entry.kind;
  return kHostUnknown;
}
