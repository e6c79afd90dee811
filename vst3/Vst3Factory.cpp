#include "vst3/Vst3Factory.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "framework/IParameter.h"
#include "graphics/IBitmapCache.h"
#include "graphics/IFontCache.h"
#include "raster/RasterFont.h"
#include "framework/IPluginBase.h"
#include "vst3/Vst3Identity.h"
#include "vst3/Vst3Plugin.h"
#include "vst3/Vst3Strings.h"

using namespace v3;

namespace {
const char* kSdkVersion = "VST 3.7.14";
const char* kAudioEffectCategory = "Audio Module Class";

void VersionText(char* text, int size) {
  const int32_t v = ProductInfo().version;
  std::snprintf(text, static_cast<size_t>(size), "%d.%d.%d", (v >> 16) & 0xFFFF, (v >> 8) & 0xFF, v & 0xFF);
}

// What the first and second forms of the class record share; the rest is cleared.
template <class Info>
tresult ClassBasics(int32 index, Info* info) {
  if (index != 0 || !info) return kInvalidArgument;
  std::memset(info, 0, sizeof(*info));
  std::memcpy(info->cid, ProcessorClassId().b, 16);
  info->cardinality = kManyInstances;
  CopyText(info->category, kAudioEffectCategory, sizeof(info->category));
  CopyText(info->name, ProductInfo().effectName, sizeof(info->name));
  return kResultOk;
}

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class Vst3Factory final : public IPluginFactory3 {
 public:
  tresult QV3_API queryInterface(const char* iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!iid) return kNoInterface;
    if (SameTUID(iid, kFUnknownIID) || SameTUID(iid, kPluginFactoryIID) || SameTUID(iid, kPluginFactory2IID) ||
        SameTUID(iid, kPluginFactory3IID)) {
      addRef();
      *obj = static_cast<IPluginFactory3*>(this);
      return kResultOk;
    }
    return kNoInterface;
  }
  // The factory lives as long as the module; the count only tells what hosts hold.
  uint32 QV3_API addRef() override { return ++mRefs; }
  uint32 QV3_API release() override { return mRefs > 0 ? --mRefs : 0; }

  tresult QV3_API getFactoryInfo(PFactoryInfo* info) override {
    if (!info) return kInvalidArgument;
    std::memset(info, 0, sizeof(*info));
    CopyText(info->vendor, ProductInfo().vendorName, sizeof(info->vendor));
    info->flags = kFactoryFlagUnicode;
    return kResultOk;
  }
  int32 QV3_API countClasses() override { return 1; }
  tresult QV3_API getClassInfo(int32 index, PClassInfo* info) override { return ClassBasics(index, info); }
  tresult QV3_API getClassInfo2(int32 index, PClassInfo2* info) override {
    const tresult r = ClassBasics(index, info);
    if (r != kResultOk) return r;
    // Component and controller are one object, so the halves cannot run apart.
    info->classFlags = 0;
    CopyText(info->subCategories, ProductInfo().category, sizeof(info->subCategories));
    CopyText(info->vendor, ProductInfo().vendorName, sizeof(info->vendor));
    VersionText(info->version, sizeof(info->version));
    CopyText(info->sdkVersion, kSdkVersion, sizeof(info->sdkVersion));
    return kResultOk;
  }
  tresult QV3_API getClassInfoUnicode(int32 index, PClassInfoW* info) override {
    PClassInfo2 narrow;
    const tresult r = getClassInfo2(index, info ? &narrow : nullptr);
    if (r != kResultOk) return r;
    std::memset(info, 0, sizeof(*info));
    std::memcpy(info->cid, narrow.cid, 16);
    info->cardinality = narrow.cardinality;
    std::memcpy(info->category, narrow.category, sizeof(info->category));
    ToTChar(info->name, narrow.name, 64);
    info->classFlags = narrow.classFlags;
    std::memcpy(info->subCategories, narrow.subCategories, sizeof(info->subCategories));
    ToTChar(info->vendor, narrow.vendor, 64);
    ToTChar(info->version, narrow.version, 64);
    ToTChar(info->sdkVersion, narrow.sdkVersion, 64);
    return kResultOk;
  }
  tresult QV3_API createInstance(FIDString cid, FIDString iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!cid || !iid || !SameTUID(cid, ProcessorClassId())) return kNoInterface;
    Vst3Plugin* plugin = Vst3Plugin::Create();
    if (!plugin) return kOutOfMemory;
    const tresult r = plugin->queryInterface(iid, obj);
    plugin->release();  // the host's reference, if it got one, keeps it alive
    return r;
  }
  tresult QV3_API setHostContext(FUnknown*) override { return kNotImplemented; }

 private:
  std::atomic<uint32> mRefs{0};
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}  // namespace

TUID ProcessorClassId() { return MigrationClassId(ProductInfo().uniqueID, ProductInfo().effectName); }

IPluginFactory* AcquireVst3Factory() {
  static Vst3Factory factory;
  factory.addRef();
  return &factory;
}

namespace {
std::atomic<int> gEntries{0};
}

bool EnterVst3Module() {
  ++gEntries;
  return true;
}

bool ExitVst3Module() {
  if (--gEntries > 0) return true;
  if (gEntries < 0) gEntries = 0;
  if (Vst3Plugin::LiveCount() == 0) {
    IFontCache::Instance().Clear();
    IBitmapCache::Instance().Clear();
    RasterReleaseFontLibrary();
  }
  return true;
}
