// The implementation chain: the best pixel engine the processor runs,
// chosen on first use, unless QAVZ_PIXEL_OPS names another.
#include "graphics/pixel_ops.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "core/config.h"
#include "graphics/blend_modes.h"

namespace qavz {

namespace {

// Best first; an entry whose tables are null is not available here.
struct Chain {
  PixelImplementation avx2{"avx2", VectorPixelOps(), Avx2ModeKernels()};
  PixelImplementation sse2{"sse2", VectorPixelOps(), Sse2ModeKernels()};
  PixelImplementation portable{"portable", &PortablePixelOps(), &PortableModeKernels()};
  const PixelImplementation* Find(const char* name) const {
    for (const PixelImplementation* impl : {&avx2, &sse2, &portable})
      if (impl->ops && impl->modes && (!name || std::strcmp(name, impl->name) == 0)) return impl;
    return nullptr;
  }
};

const Chain& TheChain() {
  static const Chain chain;
  return chain;
}

const PixelImplementation* Initial() {
  const Chain& chain = TheChain();
  if (const char* forced = std::getenv("QAVZ_PIXEL_OPS"))
    if (const PixelImplementation* impl = chain.Find(forced)) return impl;
  // Without MMX the processor predates every vector unit we use.
  return CpuHasMmxCached() ? chain.Find(nullptr) : &chain.portable;
}

std::atomic<const PixelImplementation*>& Current() {
  static std::atomic<const PixelImplementation*> current{Initial()};
  return current;
}

}  // namespace

const PixelImplementation& ThePixelImplementation() noexcept {
  return *Current().load(std::memory_order_relaxed);
}

bool SelectPixelImplementation(const char* name) noexcept {
  const PixelImplementation* impl = name ? TheChain().Find(name) : nullptr;
  if (!impl) return false;
  Current().store(impl, std::memory_order_relaxed);
  return true;
}

}  // namespace qavz
