#include "vm/foreign_calls.h"

#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace qavz {

namespace {

struct Image {
  uint32_t size;
  uint32_t generation;
};

struct Binding {
  Addr target;
  Addr owner;
  uint32_t generation;
};

struct Registry {
  std::mutex mutex;
  std::map<Addr, Image> images;                             // by base
  std::unordered_map<Addr, std::vector<Binding>> bindings;  // by calling image
  uint32_t nextGeneration = 1;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

bool FindLocked(Registry& r, Addr address, Addr* base, uint32_t* generation) {
  auto it = r.images.upper_bound(address);
  if (it == r.images.begin()) return false;
  --it;
  if (address - it->first >= it->second.size) return false;
  *base = it->first;
  *generation = it->second.generation;
  return true;
}

}  // namespace

void RegisterImage(Addr base, uint32_t size) noexcept {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  try {
    r.images[base] = Image{size, r.nextGeneration++};
    r.bindings.erase(base);
  } catch (...) {
    // Without a record the image's functions cannot be bound by others.
  }
}

void ForgetImage(Addr base) noexcept {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.images.erase(base);
  r.bindings.erase(base);
}

bool ImageOf(Addr address, Addr* base, uint32_t* generation) noexcept {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  return FindLocked(r, address, base, generation);
}

void ExpectForeignTarget(Addr caller, Addr target, Addr owner, uint32_t generation) noexcept {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  try {
    std::vector<Binding>& list = r.bindings[caller];
    for (Binding& b : list)
      if (b.target == target) {
        b = Binding{target, owner, generation};
        return;
      }
    list.push_back(Binding{target, owner, generation});
  } catch (...) {
    // Unrecorded, the call is checked only for live memory.
  }
}

bool ForeignCallAllowed(Addr caller, Addr target) noexcept {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.bindings.find(caller);
  if (it == r.bindings.end()) return true;
  for (const Binding& b : it->second) {
    if (b.target != target) continue;
    Addr base;
    uint32_t generation;
    return FindLocked(r, target, &base, &generation) && base == b.owner && generation == b.generation;
  }
  return true;
}

}  // namespace qavz
