#include "platform/system_info.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define QAVZ_X86 1
#endif

namespace qavz::platform {

const CpuIdentity& QueryCpuIdentity() noexcept {
  static const CpuIdentity identity = [] {
    CpuIdentity id;
#ifdef QAVZ_X86
    unsigned eax, ebx, ecx, edx;
    // __get_cpuid_max tests the identification flag where that matters.
    if (__get_cpuid_max(0, nullptr) == 0) return id;
    __cpuid(0, eax, ebx, ecx, edx);
    id.hasCpuid = true;
    std::memcpy(id.vendor, &ebx, 4);
    std::memcpy(id.vendor + 4, &edx, 4);
    std::memcpy(id.vendor + 8, &ecx, 4);
    if (eax >= 1) {
      __cpuid(1, eax, ebx, ecx, edx);
      id.featureEdx = edx;
    }
#endif
    return id;
  }();
  return identity;
}

uint64_t ReadTimeStampCounter() noexcept {
#ifdef QAVZ_X86
  if (QueryCpuIdentity().featureEdx & (1u << 4)) return __rdtsc();
#endif
  return 0;
}

OsVersion QueryOsVersion() noexcept {
  OsVersion version;
  utsname names;
  if (uname(&names) != 0) return version;
  const char* p = names.release;
  uint32_t* fields[] = {&version.major, &version.minor, &version.build};
  for (uint32_t* field : fields) {
    char* end;
    unsigned long n = std::strtoul(p, &end, 10);
    if (end == p) break;
    *field = uint32_t(n);
    if (*end != '.') break;
    p = end + 1;
  }
  return version;
}

}  // namespace qavz::platform
