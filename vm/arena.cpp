#include "vm/arena.h"

#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <unordered_map>

#include "platform/virtual_memory.h"

namespace qavz {

namespace {
// One spare page past 4 GiB so a multi-byte access at the top never leaves
// the reservation.
constexpr uint64_t kReserve = (uint64_t(1) << 32) + Arena::kPageSize;
// Each block is followed by one dead page, so running off the end of a block
// faults instead of reading its neighbour.
constexpr uint32_t kGuardPages = 1;
// Freed ranges wait this many pages (64 MiB of address space) before they can
// be handed out again, so a stale address keeps faulting for a while instead
// of landing in the next block that happens to reuse it (a call into an image
// that `jump` has just replaced, a pointer kept past `free`).
constexpr uint32_t kQuarantinePages = (64u << 20) >> Arena::kPageShift;

uint32_t PagesFor(uint32_t size) {
  return uint32_t((uint64_t(size) + Arena::kPageSize - 1) >> Arena::kPageShift);
}
}  // namespace

struct Arena::Impl {
  std::mutex mutex;
  std::map<uint32_t, uint32_t> freeByPage;       // first page -> page count
  std::multimap<uint32_t, uint32_t> freeBySize;  // page count -> first page
  std::unordered_map<Addr, uint32_t> blocks;     // start -> size in bytes
  uint64_t liveBytes = 0;
  std::deque<std::pair<uint32_t, uint32_t>> quarantine;  // first page, count; oldest first
  uint64_t quarantinedPages = 0;

  void Quarantine(uint32_t page, uint32_t count) {
    quarantine.emplace_back(page, count);
    quarantinedPages += count;
    while (quarantinedPages > kQuarantinePages) ReleaseOldest();
  }
  void ReleaseOldest() {
    auto [page, count] = quarantine.front();
    quarantine.pop_front();
    quarantinedPages -= count;
    AddFree(page, count);
  }
  // Best fit first; when nothing fits, the quarantine gives its space back
  // early rather than let an allocation fail.
  int64_t TakeOrDrain(uint32_t count) {
    int64_t page = Take(count);
    while (page < 0 && !quarantine.empty()) {
      ReleaseOldest();
      page = Take(count);
    }
    return page;
  }

  void AddFree(uint32_t page, uint32_t count) {
    auto next = freeByPage.find(page + count);
    if (next != freeByPage.end()) {
      EraseSized(next->first, next->second);
      count += next->second;
      freeByPage.erase(next);
    }
    auto it = freeByPage.lower_bound(page);
    if (it != freeByPage.begin()) {
      auto prev = std::prev(it);
      if (prev->first + prev->second == page) {
        EraseSized(prev->first, prev->second);
        page = prev->first;
        count += prev->second;
        freeByPage.erase(prev);
      }
    }
    freeByPage[page] = count;
    freeBySize.emplace(count, page);
  }
  void EraseSized(uint32_t page, uint32_t count) {
    auto [lo, hi] = freeBySize.equal_range(count);
    for (auto it = lo; it != hi; ++it)
      if (it->second == page) {
        freeBySize.erase(it);
        return;
      }
  }
  // Best fit, lowest address among equals: keeps small records packed low and
  // large planes from fragmenting the space over time.
  int64_t Take(uint32_t count) {
    auto it = freeBySize.lower_bound(count);
    if (it == freeBySize.end()) return -1;
    uint32_t have = it->first, page = it->second;
    freeBySize.erase(it);
    freeByPage.erase(page);
    if (have > count) {
      freeByPage[page + count] = have - count;
      freeBySize.emplace(have - count, page + count);
    }
    return page;
  }
};

Arena::Arena() {
  base_ = static_cast<uint8_t*>(platform::ReserveAddressSpace(kReserve));
  if (!base_) throw std::bad_alloc();
  pages_ = new std::atomic<uint8_t>[kPageCount]();
  impl_ = new Impl;
  uint32_t first = kLowest >> kPageShift;
  impl_->AddFree(first, uint32_t(kHighest >> kPageShift) - first);
}

Arena::~Arena() {
  platform::ReleaseAddressSpace(base_, kReserve);
  delete[] pages_;
  delete impl_;
}

Addr Arena::Alloc(uint32_t size) noexcept {
  if (size == 0) size = 1;
  uint32_t pages = PagesFor(size);
  if (uint64_t(pages) + kGuardPages >= kPageCount) return 0;
  std::lock_guard lock(impl_->mutex);
  int64_t page = impl_->TakeOrDrain(pages + kGuardPages);
  if (page < 0) return 0;
  Addr a = Addr(page) << kPageShift;
  if (!platform::CommitPages(base_ + a, size_t(pages) << kPageShift)) {
    impl_->AddFree(uint32_t(page), pages + kGuardPages);
    return 0;
  }
  impl_->blocks.emplace(a, size);
  impl_->liveBytes += size;
  for (uint32_t p = 0; p < pages; ++p) pages_[page + p].store(1, std::memory_order_release);
  return a;
}

bool Arena::Free(Addr block) noexcept {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->blocks.find(block);
  if (it == impl_->blocks.end()) return false;
  uint32_t size = it->second, pages = PagesFor(size), first = block >> kPageShift;
  impl_->blocks.erase(it);
  impl_->liveBytes -= size;
  for (uint32_t p = 0; p < pages; ++p)
    if (pages_[first + p].exchange(0, std::memory_order_acq_rel) == kCodePage) codePages_.fetch_sub(1);
  freeCount_.fetch_add(1, std::memory_order_acq_rel);
  platform::DecommitPages(base_ + block, size_t(pages) << kPageShift);
  impl_->Quarantine(first, pages + kGuardPages);
  return true;
}

void Arena::MarkCodePages(Addr a, uint32_t n, bool code) noexcept {
  if (n == 0) return;
  std::lock_guard lock(impl_->mutex);
  uint64_t last = uint64_t(a) + n - 1;
  if (last > 0xFFFFFFFFu) last = 0xFFFFFFFFu;
  for (uint32_t p = a >> kPageShift; p <= uint32_t(last >> kPageShift); ++p) {
    uint8_t want = code ? kCodePage : 1, have = pages_[p].load(std::memory_order_relaxed);
    if (have == 0 || have == want) continue;
    pages_[p].store(want, std::memory_order_release);
    codePages_.fetch_add(code ? 1 : -1);
  }
}

void Arena::NoteWrite(Addr a, uint32_t n) noexcept {
  uint64_t last = uint64_t(a) + (n ? n : 1) - 1;
  for (uint32_t p = a >> kPageShift; p <= uint32_t(last >> kPageShift); ++p)
    if (pages_[p].load(std::memory_order_relaxed) == kCodePage) {
      if (CodeWriteHook hook = codeWriteHook_.load()) hook(a, n ? n : 1);
      return;
    }
}

uint32_t Arena::BlockSize(Addr block) const noexcept {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->blocks.find(block);
  return it == impl_->blocks.end() ? 0 : it->second;
}

uint64_t Arena::LiveBytes() const noexcept {
  std::lock_guard lock(impl_->mutex);
  return impl_->liveBytes;
}

uint32_t Arena::LiveExtent(Addr a) const noexcept {
  uint32_t page = a >> kPageShift;
  if (!PageLive(page)) return 0;
  uint64_t end = (uint64_t(page) + 1) << kPageShift;
  while (end <= 0xFFFFFFFFu && PageLive(uint32_t(end >> kPageShift))) end += kPageSize;
  uint64_t n = end - a;
  return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(n);
}

int64_t Arena::StrLen(Addr a, uint32_t max) const noexcept {
  uint64_t pos = a, limit = uint64_t(a) + max;
  while (pos < limit && pos <= 0xFFFFFFFFu) {
    uint32_t page = uint32_t(pos >> kPageShift);
    if (!PageLive(page)) return -1;
    uint64_t pageEnd = (uint64_t(page) + 1) << kPageShift;
    uint64_t stop = pageEnd < limit ? pageEnd : limit;
    const void* hit = std::memchr(base_ + pos, 0, size_t(stop - pos));
    if (hit) return static_cast<const uint8_t*>(hit) - (base_ + a);
    pos = stop;
  }
  return -1;
}

bool Arena::ReadString(Addr a, std::string& out, uint32_t max) const noexcept {
  int64_t n = StrLen(a, max);
  if (n < 0) {
    // No terminator within `max`: accept a cut string only when the bytes
    // up to `max` are all live.
    if (!Live(a, max)) return false;
    n = max;
  }
  out.assign(reinterpret_cast<const char*>(base_ + a), size_t(n));
  return true;
}

bool Arena::WriteString(Addr a, const char* s, size_t len) noexcept {
  if (len >= 0xFFFFFFFFu || !LiveForWrite(a, uint32_t(len + 1))) return false;
  std::memcpy(base_ + a, s, len);
  base_[a + len] = 0;
  return true;
}

Arena& TheArena() noexcept {
  static Arena arena;
  return arena;
}

}  // namespace qavz
