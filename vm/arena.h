// The machine's flat 32-bit address space.
//
// Every block a script can address (program images, stacks, the external data
// area, heap blocks, planes and every other object a native hands to a script)
// lives in one arena reserved once as 4 GiB of virtual memory, so a machine
// address is simply an offset into it. Blocks are page-granular and zero-filled;
// a page map says which pages are live, so every access is checked with one
// table lookup and a stale or wild address is refused instead of reaching
// host memory. The lowest 64 KiB are never handed out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace qavz {

using Addr = uint32_t;

class Arena {
 public:
  static constexpr uint32_t kPageShift = 12;
  static constexpr uint32_t kPageSize = 1u << kPageShift;
  static constexpr uint32_t kPageCount = 1u << (32 - kPageShift);
  static constexpr Addr kLowest = 0x10000;  // nothing lives below 64 KiB
  // Nothing is handed out at or above 2 GiB: scripts hold addresses in
  // signed ints and compare them with signed jumps, as they could on the
  // system they were written for, so every address stays positive.
  static constexpr uint64_t kHighest = uint64_t(1) << 31;

  // A zero-filled block of at least `size` bytes (size 0 counts as 1), or 0
  // when the address space or the host cannot supply it. Thread-safe.
  Addr Alloc(uint32_t size) noexcept;
  // Gives the block's pages back; its addresses fault from now on. Addresses
  // that are not the start of a live block are ignored (returns false).
  bool Free(Addr block) noexcept;
  // Size in bytes of the live block starting at `block`, or 0.
  uint32_t BlockSize(Addr block) const noexcept;

  // True when every byte of [a, a + n) lies in live memory (n 0 is true
  // when `a` itself is live).
  bool Live(Addr a, uint32_t n) const noexcept {
    if (n == 0) n = 1;
    uint64_t last = uint64_t(a) + n - 1;
    if (last > 0xFFFFFFFFu) return false;
    uint32_t first = a >> kPageShift, end = uint32_t(last) >> kPageShift;
    if (first == end) return PageLive(first);
    for (uint32_t p = first; p <= end; ++p)
      if (!PageLive(p)) return false;
    return true;
  }
  // Number of live bytes from `a` up to the first dead page (0 if `a` is dead).
  uint32_t LiveExtent(Addr a) const noexcept;

  // Host pointer for [a, a + n) or nullptr when any of it is not live. The
  // writable span counts as a write for translated code (MarkCodePages).
  uint8_t* Span(Addr a, uint32_t n) noexcept { return LiveForWrite(a, n) ? base_ + a : nullptr; }
  const uint8_t* Span(Addr a, uint32_t n) const noexcept { return Live(a, n) ? base_ + a : nullptr; }

  // Typed accessors; false (and nothing touched) when the bytes are not live.
  template <typename T>
  bool Read(Addr a, T& out) const noexcept {
    if (!Live(a, sizeof(T))) return false;
    std::memcpy(&out, base_ + a, sizeof(T));
    return true;
  }
  template <typename T>
  bool Write(Addr a, T value) noexcept {
    if (!LiveForWrite(a, sizeof(T))) return false;
    std::memcpy(base_ + a, &value, sizeof(T));
    return true;
  }
  // 32-bit word or `fallback` when not live.
  int32_t Word(Addr a, int32_t fallback = 0) const noexcept {
    int32_t v;
    return Read(a, v) ? v : fallback;
  }

  // Length of the zero-terminated string at `a`, scanning at most `max`
  // bytes of live memory; -1 when `a` is dead or no terminator is found
  // within live memory and `max`.
  int64_t StrLen(Addr a, uint32_t max = 0xFFFFFFFFu) const noexcept;
  // Copies the zero-terminated string at `a` into `out` (at most `max` bytes,
  // without the terminator). False when `a` is not live or the string runs
  // into dead memory before its terminator and before `max`.
  bool ReadString(Addr a, std::string& out, uint32_t max = 65536) const noexcept;
  // Writes `s` and a terminator; false (nothing written) unless all fits.
  bool WriteString(Addr a, const char* s, size_t len) noexcept;

  // Interpreter fast path: raw host pointer of the whole space. Only valid
  // for addresses that passed Live().
  uint8_t* Base() const noexcept { return base_; }
  bool PageLive(uint32_t page) const noexcept { return pages_[page].load(std::memory_order_relaxed) != 0; }
  // The page map itself (one byte per page, non-zero = live), so the
  // interpreter can keep it in a register across its loop.
  const std::atomic<uint8_t>* PageMap() const noexcept { return pages_; }

  // Bytes in live blocks (for tests and leak checks).
  uint64_t LiveBytes() const noexcept;
  // Counts Free calls: a range found live stays live while it is unchanged.
  uint64_t FreeCount() const noexcept { return freeCount_.load(std::memory_order_acquire); }

  // Pages holding translated code (and the run flags' page, which
  // translated code must not write either) carry page map value 2 (still
  // live). A
  // write through Span, Write or WriteString that touches such a page calls
  // the hook with the range, so the translation of what was written can be
  // dropped; the machine's own stores check the value themselves.
  static constexpr uint8_t kCodePage = 2;
  using CodeWriteHook = void (*)(Addr a, uint32_t n) noexcept;
  void SetCodeWriteHook(CodeWriteHook hook) noexcept { codeWriteHook_.store(hook); }
  // Marks (or unmarks) the live pages of [a, a + n) as holding code.
  void MarkCodePages(Addr a, uint32_t n, bool code) noexcept;

  Arena();
  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

 private:
  // Live(), and for pages marked as code, the hook.
  bool LiveForWrite(Addr a, uint32_t n) noexcept {
    if (!Live(a, n)) return false;
    if (codePages_.load(std::memory_order_relaxed) != 0) NoteWrite(a, n);
    return true;
  }
  void NoteWrite(Addr a, uint32_t n) noexcept;

  struct Impl;
  std::atomic<uint64_t> freeCount_{0};
  std::atomic<int64_t> codePages_{0};  // pages marked kCodePage
  std::atomic<CodeWriteHook> codeWriteHook_{nullptr};
  uint8_t* base_ = nullptr;
  std::atomic<uint8_t>* pages_ = nullptr;
  Impl* impl_ = nullptr;
};

// The process's one address space.
Arena& TheArena() noexcept;

}  // namespace qavz
