#include "vm/translator.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "vm/interpreter.h"
#include "vm/interpreter_loop.h"
#include "vm/translator_internal.h"

namespace qavz {

using jit::Translation;

namespace {

std::atomic<bool> gConfigured{true};

bool EnvironmentAllows() noexcept {
  static const bool allows = [] {
    const char* v = std::getenv("QAVZ_TRANSLATE");
    return !(v && v[0] == '0' && v[1] == '\0');
  }();
  return allows;
}

// The translations by image base. Users hold a lease (users > 0) while they
// run or look at one; a dropped translation is freed by its last user.
struct Registry {
  std::mutex mutex;
  std::vector<Translation*> byBase;  // sorted by base
  std::atomic<int> count{0};
};
Registry& TheRegistry() {
  static Registry* r = new Registry;  // outlives every script thread
  return *r;
}

void Unuse(Translation* t) noexcept {
  if (!t) return;
  if (t->users.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    std::lock_guard lock(TheRegistry().mutex);
    if (t->dead && t->users.load() == 0) {
      jit::FreeTranslationCode(*t);
      delete t;
    }
  }
}

// The translation whose code holds `pc`, with a lease, or null.
Translation* Use(Addr pc) noexcept {
  Registry& r = TheRegistry();
  if (r.count.load(std::memory_order_relaxed) == 0) return nullptr;
  std::lock_guard lock(r.mutex);
  auto it = std::upper_bound(r.byBase.begin(), r.byBase.end(), pc,
                             [](Addr a, const Translation* t) { return a < t->base; });
  if (it == r.byBase.begin()) return nullptr;
  Translation* t = *--it;
  if (pc - t->base >= t->codeSize) return nullptr;
  t->users.fetch_add(1, std::memory_order_acq_rel);
  return t;
}

// The translation a thread ran last, leased until the thread leaves it or
// it is dropped, so that a run of slices in one image takes no lock.
struct HeldTranslation {
  Translation* t = nullptr;
  ~HeldTranslation() { Unuse(t); }
};
thread_local HeldTranslation tHeld;

Translation* UseFor(Addr pc) noexcept {
  Translation*& t = tHeld.t;
  if (t && pc - t->base < t->codeSize && !t->dead.load(std::memory_order_acquire)) return t;
  Unuse(t);
  t = Use(pc);
  return t;
}

void CodeWritten(Addr a, uint32_t n) noexcept;

// Translated code reads StopFlag only at back-edges, calls and returns, so
// a script's own store into the run flags (their address is handed to
// extensions) goes to the interpreter, which stops right after it: their
// page is marked as code is.
void InstallHook() {
  static const bool once = [] {
    TheArena().SetCodeWriteHook(&CodeWritten);
    TheArena().MarkCodePages(StopFlagAddress(), 8, true);
    return true;
  }();
  (void)once;
}

// Drops the translation of every code page that [a, a + n) touches, and of
// the page before each (an instruction may start there and reach in).
void Invalidate(Translation& t, Addr a, uint32_t n) noexcept {
  uint64_t lo = std::max<uint64_t>(a, t.base), hi = std::min<uint64_t>(uint64_t(a) + n, t.base + t.codeSize);
  if (lo >= hi) return;
  uint32_t first = uint32_t(lo - t.base) >> t.pageShift;
  uint32_t last = uint32_t(hi - 1 - t.base) >> t.pageShift;
  if (first > 0) --first;
  for (uint32_t p = first; p <= last && p < t.pageCount; ++p) {
    if (t.pageState[p].exchange(jit::kPageDropped) != jit::kPageTranslated) continue;
    uint32_t from = p << t.pageShift, to = std::min(t.codeSize, from + (1u << t.pageShift));
    for (uint32_t o = from; o < to; ++o) jit::EntryAt(t, o).store(0, std::memory_order_relaxed);
  }
}

void CodeWritten(Addr a, uint32_t n) noexcept {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  for (Translation* t : r.byBase)
    if (uint64_t(a) + n > t->base && a < t->base + t->codeSize) Invalidate(*t, a, n);
}

// Whether the context's whole stack block is live, remembered per thread
// until the arena frees anything.
bool StackLive(const MachineContext* c) noexcept {
  thread_local Addr base = 0;
  thread_local uint32_t size = 0;
  thread_local uint64_t frees = ~uint64_t(0);
  Arena& arena = TheArena();
  uint64_t now = arena.FreeCount();
  if (base == c->stackBase && size == c->stackSize && frees == now && size != 0) return true;
  if (c->stackSize == 0 || !arena.Live(c->stackBase, c->stackSize)) return false;
  base = c->stackBase, size = c->stackSize, frees = now;
  return true;
}

void PrepareRun(jit::RunState& run, MachineContext* c) noexcept {
  Arena& arena = TheArena();
  run.context = c;
  run.arenaBase = arena.Base();
  run.pageMap = arena.PageMap();
  run.stackBase = c->stackBase;
  run.stackBase32 = c->stackBase;
  bool live = StackLive(c) && uint64_t(c->stackBase) + c->stackSize <= 0xFFFFFFFFu;
  run.stackSize = live ? c->stackSize : 0;
  run.pushLimit = live && c->stackSize >= 4 ? c->stackSize - 3 : 0;
  run.popLimit = live && c->stackSize >= 4 ? c->stackSize - 4 : 0;
}

// Translates the page of `pc` the first time control reaches it. The
// entries are published under the registry's lock, and only while the page
// is still untranslated: a write into it since (which takes that lock to
// drop it) leaves it to the interpreter.
bool TranslatePage(Translation& t, Addr pc) noexcept {
  uint32_t page = (pc - t.base) >> t.pageShift;
  if (t.pageState[page].load(std::memory_order_acquire) != jit::kPageUntranslated) return false;
  std::lock_guard emitting(t.emitting);
  if (t.pageState[page].load(std::memory_order_acquire) != jit::kPageUntranslated || t.dead) return false;
  std::vector<std::pair<uint32_t, int32_t>> entries;
  bool made;
  try {
    entries.reserve((1u << t.pageShift) / 2);
    made = jit::EmitPage(t, TheArena().Base() + t.base, page, entries);
  } catch (const std::bad_alloc&) {
    made = false;
  }
  std::lock_guard lock(TheRegistry().mutex);
  uint8_t expected = jit::kPageUntranslated;
  if (!t.pageState[page].compare_exchange_strong(expected, made ? jit::kPageTranslated : jit::kPageDropped))
    return false;
  for (const auto& [off, entry] : entries) jit::EntryAt(t, off).store(entry, std::memory_order_release);
  return made;
}

}  // namespace

void NoteCodeWrite(Addr a, uint32_t n) noexcept { CodeWritten(a, n); }

void jit::TranslatedTrap(uint32_t index, MachineContext* c) noexcept {
  if (TrapHandler handler = CurrentTrapHandler.load(std::memory_order_relaxed)) handler(index, c);
}

bool TranslationEnabled() noexcept { return gConfigured.load() && EnvironmentAllows(); }
void SetTranslationEnabled(bool on) noexcept { gConfigured.store(on); }

bool TranslateImage(Addr base, uint32_t codeSize, uint32_t programSize) noexcept {
  if (!TranslationEnabled() || codeSize == 0 || codeSize > programSize) return false;
  Arena& arena = TheArena();
  const uint8_t* bytes = arena.Base() + base;
  if (!arena.Live(base, programSize)) return false;
  InstallHook();
  Translation* t = new (std::nothrow) Translation;
  if (!t) return false;
  t->base = base;
  t->codeSize = codeSize;
  t->programSize = programSize;
  if (!jit::PrepareTranslation(*t, bytes)) {
    delete t;
    return false;
  }
  Registry& r = TheRegistry();
  {
    std::lock_guard lock(r.mutex);
    auto it = std::lower_bound(r.byBase.begin(), r.byBase.end(), base,
                               [](const Translation* x, Addr a) { return x->base < a; });
    if (it != r.byBase.end() && (*it)->base == base) {  // a stale one: replace it
      (*it)->dead = true;
      if ((*it)->users.load() == 0) {
        jit::FreeTranslationCode(**it);
        delete *it;
      }
      *it = t;
    } else {
      r.byBase.insert(it, t);
      r.count.fetch_add(1);
    }
  }
  arena.MarkCodePages(base, codeSize, true);
  return true;
}

void DropTranslation(Addr base) noexcept {
  Registry& r = TheRegistry();
  if (r.count.load() == 0) return;
  std::lock_guard lock(r.mutex);
  auto it = std::lower_bound(r.byBase.begin(), r.byBase.end(), base,
                             [](const Translation* x, Addr a) { return x->base < a; });
  if (it == r.byBase.end() || (*it)->base != base) return;
  Translation* t = *it;
  r.byBase.erase(it);
  r.count.fetch_sub(1);
  TheArena().MarkCodePages(t->base, t->codeSize, false);
  t->dead = true;
  if (t->users.load() == 0) {
    jit::FreeTranslationCode(*t);
    delete t;
  }
}

bool HasTranslation(Addr base) noexcept {
  Translation* t = Use(base);
  bool has = t && t->base == base;
  Unuse(t);
  return has;
}

bool AnyTranslation() noexcept { return TheRegistry().count.load(std::memory_order_relaxed) != 0; }

int RunTranslated(MachineContext* c, int steps, bool exactSteps) {
  std::atomic<int32_t>& stop = StopFlag();
  if (stop.load(std::memory_order_relaxed) || c->state != kRunning) return kNoFault;
  jit::RunState run;
  PrepareRun(run, c);
  Translation* t = nullptr;  // held by tHeld
  int fault = kNoFault;
  while (steps > 0) {
    if (stop.load(std::memory_order_relaxed) || c->state != kRunning) break;
    Addr pc = c->pc;
    if (!t || pc - t->base >= t->codeSize) t = UseFor(pc);
    int32_t entry = t ? jit::EntryAt(*t, pc - t->base).load(std::memory_order_relaxed) : 0;
    if (entry == 0 && t && TranslatePage(*t, pc))
      entry = jit::EntryAt(*t, pc - t->base).load(std::memory_order_relaxed);
    int interpret;
    if (entry > 0) {
      run.eq = c->eq, run.lt = c->lt, run.ltu = c->ltu;
      run.budget = steps;
      run.foreign = t->base != c->imageBase;
      t->enter(&run, t->code + entry);
      if (run.reason == jit::kExitTrap) break;  // the handler has the context
      c->eq = run.eq, c->lt = run.lt, c->ltu = run.ltu;
      c->pc = run.exitPc;
      steps = run.budget;
      if (run.reason == jit::kExitStop) break;
      if (run.reason == jit::kExitJump) continue;
      interpret = run.reason == jit::kExitStep ? 1 : steps;
    } else if (entry < 0) {
      interpret = -entry;  // up to the next block start
    } else {
      // Not translated: a slice of the interpreter's own length, which ends
      // the slice unless the count must be exact.
      bool ended = false;
      int n = std::min(steps, 255);
      fault = RunSliceLoop<true, true>(c, n, &ended);
      steps -= n;
      if (ended || !exactSteps) break;
      continue;
    }
    interpret = std::min(interpret, steps);
    bool ended = false;
    fault = RunSliceLoop<true, true>(c, interpret, &ended);
    steps -= interpret;
    if (ended) break;
  }
  return fault;
}

}  // namespace qavz
