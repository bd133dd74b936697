#include "vm/system_variables.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "core/config.h"
#include "platform/system_info.h"
#include "vm/native_table.h"

namespace qavz {

const char* const kSystemVariableNames[kSystemVariableCount] = {
    "fullscreen",  "width",    "height",   "depth",    "cpu_clock", "cpu_vender",    "cpu_support",
    "os_platform", "os_major", "os_minor", "os_build", "pause",     "color_mapping", "sp_count",
};

namespace {

// The platform identifier of the version query: the family of current
// desktop systems.
constexpr int32_t kPlatformId = 2;

std::atomic<ScreenInfoSource> gScreen{nullptr};
std::atomic<FullScreenQuery> gFullScreenQuery{nullptr};
std::atomic<FullScreenSwitch> gFullScreenSwitch{nullptr};
std::atomic<SpriteCountSource> gSpriteCount{nullptr};

ScreenInfo Screen() {
  ScreenInfoSource source = gScreen.load();
  return source ? source() : ScreenInfo{640, 480, 24};
}

int32_t FullScreenMode() {
  FullScreenQuery query = gFullScreenQuery.load();
  return query ? query() : 0;
}

int32_t VendorCode(const char* vendor) {
  static const char* const kVendors[] = {"GenuineIntel", "AuthenticAMD", "CyrixInstead", "CentaurHauls",
                                         "RiseRiseRise"};
  for (int i = 0; i < 5; ++i)
    if (std::strcmp(vendor, kVendors[i]) == 0) return i + 1;
  return 0;
}

// Cycles over a one-second wait; the caller's thread blocks meanwhile.
int32_t CpuClock() {
  if (!platform::QueryCpuIdentity().hasCpuid || !(platform::QueryCpuIdentity().featureEdx & (1u << 4)))
    return 0;
  uint64_t start = platform::ReadTimeStampCounter();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  return int32_t(uint32_t(platform::ReadTimeStampCounter() - start));
}

const platform::OsVersion& OsVersion() {
  static const platform::OsVersion version = platform::QueryOsVersion();
  return version;
}

char Lower(char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch; }

bool SameName(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (Lower(*a) != Lower(*b)) return false;
  return *a == *b;
}

// The name argument of both natives; -1 when it is null, unreadable or
// unknown.
int NameArgument(Addr args) {
  Addr name = ArgAddr(args, 0);
  std::string text;
  if (name == 0 || !TheArena().ReadString(name, text, 64)) return -1;
  return FindSystemVariable(text.c_str());
}

}  // namespace

void SetScreenInfoSource(ScreenInfoSource source) noexcept { gScreen.store(source); }
void SetFullScreenHooks(FullScreenQuery query, FullScreenSwitch change) noexcept {
  gFullScreenQuery.store(query);
  gFullScreenSwitch.store(change);
}
void SetSpriteCountSource(SpriteCountSource source) noexcept { gSpriteCount.store(source); }

std::atomic<int32_t>& ColorMapping() noexcept {
  static std::atomic<int32_t> mode{0};
  return mode;
}

int FindSystemVariable(const char* name) noexcept {
  if (!name) return -1;
  for (int i = 0; i < kSystemVariableCount; ++i)
    if (SameName(name, kSystemVariableNames[i])) return i;
  return -1;
}

int32_t GetSystemVariable(int index) noexcept {
  const platform::CpuIdentity& cpu = platform::QueryCpuIdentity();
  switch (index) {
    case kSysFullscreen:
      return FullScreenMode() ? 1 : 0;
    case kSysWidth:
      return Screen().width;
    case kSysHeight:
      return Screen().height;
    case kSysDepth:
      return Screen().depth;
    case kSysCpuClock:
      return CpuClock();
    case kSysCpuVender:
      return cpu.hasCpuid ? VendorCode(cpu.vendor) : 0;
    case kSysCpuSupport:
      return cpu.hasCpuid ? int32_t(cpu.featureEdx) : 0;
    case kSysOsPlatform:
      return kPlatformId;
    case kSysOsMajor:
      return int32_t(OsVersion().major);
    case kSysOsMinor:
      return int32_t(OsVersion().minor);
    case kSysOsBuild:
      return int32_t(OsVersion().build);
    case kSysPause:
      return std::atomic_ref<int32_t>(TheConfig().pause).load();
    case kSysColorMapping:
      return ColorMapping().load();
    case kSysSpCount: {
      SpriteCountSource source = gSpriteCount.load();
      return source ? source() : 0;
    }
  }
  return 0;
}

int32_t SetSystemVariable(int index, int32_t value) noexcept {
  switch (index) {
    case kSysFullscreen: {
      if (value == FullScreenMode()) return 0;
      FullScreenSwitch change = gFullScreenSwitch.load();
      return change ? change(value) : 0;
    }
    case kSysPause:
      std::atomic_ref<int32_t>(TheConfig().pause).store(value);
      return 1;
    case kSysColorMapping:
      ColorMapping().store(value);
      return 1;
  }
  return 0;
}

int32_t Native_getsystem(Addr args) { return GetSystemVariable(NameArgument(args)); }

int32_t Native_setsystem(Addr args) {
  int index = NameArgument(args);
  return index < 0 ? 0 : SetSystemVariable(index, Arg(args, 1));
}

}  // namespace qavz
