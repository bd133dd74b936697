// Runs one program twice from the same start, once in the interpreter and
// once translated, and compares everything a script could see: registers,
// flags, pc, state, the image, the stack, the run flags, faults and the
// native calls made. Shared by the differential fuzzer and its unit test.
//
// The program is made from bytes: each instruction takes an opcode and
// operands that point into the image, the stack or at instructions often
// enough to get past the checks (or raw bytes, for the decoder's sake).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/compiler.h"
#include "vm/arena.h"
#include "vm/disassembler.h"
#include "vm/interpreter.h"
#include "vm/interpreter_loop.h"
#include "vm/machine_context.h"
#include "vm/native_dispatch.h"
#include "vm/opcodes.h"
#include "vm/translator.h"
#include "vm/translator_internal.h"

namespace qavz::test {

class ByteSource {
 public:
  ByteSource(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  uint8_t Byte() { return i_ < n_ ? p_[i_++] : 0; }
  uint32_t Word() {
    uint32_t w = 0;
    for (int k = 0; k < 4; ++k) w |= uint32_t(Byte()) << (8 * k);
    return w;
  }
  bool Empty() const { return i_ >= n_; }

 private:
  const uint8_t* p_;
  size_t n_, i_ = 0;
};

// One native call as the trap handler saw it.
struct TrapRecord {
  uint32_t index;
  int32_t r7;
  int32_t args[3];
  bool operator==(const TrapRecord&) const = default;
};

inline std::vector<TrapRecord>& TrapLog() {
  static std::vector<TrapRecord> log;
  return log;
}

// A stand-in for the natives: logs the call and answers from its
// arguments. Index 3 moves the context as longjmp would (pc, r7, flags from
// its arguments); 261 and above go to the real dispatcher's refusal.
inline void DifferentialTrap(uint32_t index, MachineContext* c) {
  if (index >= 261) {
    DispatchNative(index, c);
    return;
  }
  Arena& arena = TheArena();
  TrapRecord rec{index, c->r[7], {}};
  for (int k = 0; k < 3; ++k) rec.args[k] = arena.Word(Addr(c->r[7]) + 4 + 4 * k, 0x5A5A);
  TrapLog().push_back(rec);
  switch (index % 8) {
    case 3:
      c->pc = Addr(rec.args[0]);
      c->r[7] = rec.args[1];
      c->eq = uint8_t(rec.args[2]), c->lt = uint8_t(rec.args[2] >> 8), c->ltu = uint8_t(rec.args[2] >> 16);
      break;
    case 4:  // a native writing script memory (the first argument's word)
      arena.Write<int32_t>(Addr(rec.args[0]), rec.args[1]);
      c->r[0] = 1;
      break;
    case 5:
      c->state = kEnded;
      break;
    default:
      c->r[0] = int32_t(index * 7 + rec.args[0]);
      break;
  }
}

struct MachineShot {
  MachineContext context;
  std::vector<uint8_t> image, stack, flagPage;
  int32_t flags[2];
  int fault;
  size_t traps;
};

class DifferentialRun {
 public:
  // Builds the program from `in`; false when the bytes make none.
  bool Build(ByteSource& in) {
    uint8_t head = in.Byte();
    stackSize_ = 64u * (1 + (head & 15));
    bool moveR7 = head & 0x10;
    // Half the programs are translated in pages of 64 to 512 bytes, so that
    // jumps, calls and fall-throughs cross pages and pages are translated
    // in every order.
    pageShift_ = head & 0x20 ? 6 + (head >> 6) : 12;
    int count = 1 + in.Byte() % 120;
    dataSize_ = 16u * (in.Byte() & 31);
    // Instructions first (with target indices), then their bytes.
    struct Pending {
      std::vector<uint8_t> bytes;
      int target = -1;  // instruction index whose address goes in the imm32
      int immAt = 0;
      int fix = 0;  // 1: the imm32 is an offset into the image, 2: into the stack
    };
    std::vector<Pending> code;
    for (int k = 0; k < count && !in.Empty(); ++k) {
      Pending p;
      uint8_t pick = in.Byte();
      uint8_t op = pick < 250 ? pick % kOpcodeCount : pick;
      p.bytes.push_back(op);
      int len = op < kOpcodeCount ? kOpcodes[op].length : 1;
      if (len == 2 || len == 6) {
        uint8_t regs = in.Byte(), high = in.Byte();  // in this order
        p.bytes.push_back(uint8_t((regs & 0x77) | (high & 0x88 & -(pick >= 240))));
      }
      if (len == 3) {
        uint8_t index = in.Byte();
        uint16_t v = index >= 250 ? uint16_t(261 + (index & 3)) : index;
        p.bytes.push_back(uint8_t(v)), p.bytes.push_back(uint8_t(v >> 8));
      }
      if (len == 5 || len == 6) {
        p.immAt = int(p.bytes.size());
        uint8_t mode = in.Byte();
        uint32_t imm = Operand(mode, in, count, p.target, p.fix);
        for (int b = 0; b < 4; ++b) p.bytes.push_back(uint8_t(imm >> (8 * b)));
      }
      code.push_back(std::move(p));
    }
    std::vector<uint32_t> offsets;
    uint32_t size = 0;
    for (const Pending& p : code) offsets.push_back(size), size += uint32_t(p.bytes.size());
    codeSize_ = size;
    starts_ = offsets;
    uint32_t programSize = size + dataSize_;
    context_ = CreateContext(programSize, stackSize_);
    if (!context_) return false;
    MachineContext* c = context_;
    uint8_t* image = TheArena().Span(c->imageBase, programSize);
    for (size_t k = 0; k < code.size(); ++k) {
      std::vector<uint8_t> bytes = code[k].bytes;
      if (code[k].target >= 0) {
        uint32_t target = c->imageBase + offsets[code[k].target % code.size()];
        std::memcpy(&bytes[code[k].immAt], &target, 4);
      }
      if (code[k].fix) {  // an address in the image or the stack
        uint32_t v;
        std::memcpy(&v, &bytes[code[k].immAt], 4);
        v = code[k].fix == 2 ? c->stackBase + v % stackSize_ : c->imageBase + v % programSize;
        std::memcpy(&bytes[code[k].immAt], &v, 4);
      }
      std::memcpy(image + offsets[k], bytes.data(), bytes.size());
    }
    for (uint32_t k = 0; k < dataSize_; ++k) image[size + k] = in.Byte();
    c->r[0] = int32_t(in.Word() & 0xFF);
    c->r[1] = int32_t(c->imageBase);
    c->r[2] = int32_t(c->stackBase + (in.Byte() & 0xFC));
    c->r[3] = int32_t(c->imageBase + programSize / 2);
    c->r[4] = int32_t(int8_t(in.Byte()));
    c->r[5] = int32_t(c->imageBase + codeSize_);
    c->r[6] = int32_t(c->stackBase + stackSize_ / 2);
    if (moveR7) c->r[7] += int8_t(in.Byte());
    uint8_t flags = in.Byte();
    c->eq = flags & 1, c->lt = (flags >> 1) & 1, c->ltu = (flags >> 2) & 1;
    if (flags & 8) c->eq = flags;  // a byte restored by longjmp may be any value
    for (int& n : rounds_) n = 1 + in.Byte() % 200;
    Snapshot(start_);
    return true;
  }

  // Builds from the script at `path`, compiled into an image and entered at
  // its start as a thread is, with -1 to return to; `in` picks the rounds'
  // lengths and the translation's pages. False when it does not compile.
  bool BuildCompiled(const char* path, ByteSource& in) {
    uint32_t code = 0, data = 0;
    if (!CompileScript(path, 0, 0, &code, &data, CompileMessages::kCollectOnly)) return false;
    pageShift_ = in.Byte() & 1 ? 6 + in.Byte() % 7 : 12;
    stackSize_ = 4096;
    context_ = CreateContext(code + data, stackSize_);
    if (!context_) return false;
    MachineContext* c = context_;
    if (!CompileScript(path, c->imageBase, code + data, &code, &data, CompileMessages::kCollectOnly))
      return false;
    codeSize_ = code;
    dataSize_ = data;
    starts_.clear();
    const uint8_t* image = TheArena().Base() + c->imageBase;
    for (uint32_t o = 0; o < code; o += image[o] < kOpcodeCount ? kOpcodes[image[o]].length : 1)
      starts_.push_back(o);
    c->r[7] -= 4;
    TheArena().Write<int32_t>(Addr(c->r[7]), -1);
    for (int& n : rounds_) n = 1 + in.Byte() * 41;
    Snapshot(start_);
    return true;
  }

  // Both runs; an empty string when they agree, else what differs.
  std::string Compare() {
    // A program that reaches live memory outside its image and stack (left
    // by other tests) and changes it does not repeat itself: the interpreter
    // runs it twice to tell, before and after the translated run.
    std::vector<MachineShot> interpreted = Run(false);
    std::vector<TrapRecord> log = logs_[0];
    Restore(start_);
    if (!Differences(interpreted, Run(false)).empty() || log != logs_[0]) return {};
    Restore(start_);
    jit::SetTranslationPageShift(pageShift_);
    bool translating = TranslateImage(context_->imageBase, codeSize_, context_->programSize);
    jit::SetTranslationPageShift(12);
    if (!translating) return {};
    std::vector<MachineShot> translated = Run(true);
    DropTranslation(context_->imageBase);
    std::string d = Differences(interpreted, translated);
    if (d.empty() && logs_[0] != logs_[1]) d = "native call arguments";
    if (d.empty()) return d;
    Restore(start_);
    std::vector<MachineShot> again = Run(false);
    bool repeats = Differences(interpreted, again).empty() && log == logs_[0];
    return repeats ? d : std::string();
  }

  // The program's code as it was at the start, for a failure's message.
  std::string Listing() const {
    return Disassemble(start_.image.data(), codeSize_, start_.context.imageBase);
  }

  ~DifferentialRun() {
    if (context_) FreeContext(context_);
    StopFlag().store(0);
  }

 private:
  // An imm32: mostly something the program can use.
  uint32_t Operand(uint8_t mode, ByteSource& in, int count, int& target, int& fix) {
    switch (mode & 7) {
      case 0:
        return uint32_t(int8_t(in.Byte()));
      case 1:
      case 2:
        fix = (mode & 7) == 2 ? 2 : 1;
        return in.Word() & ((mode & 0x80) ? ~0u : ~3u);
      case 3:
      case 4:
        target = in.Byte() % count;
        return 0;
      case 5:
        return uint32_t(int32_t(int8_t(in.Byte())) * 4);
      case 6: {
        static constexpr uint32_t kSpecial[] = {0,  0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu,
                                                24, 0xFFFFFFE8u, 4,           8};
        return kSpecial[in.Byte() & 7];
      }
      default:
        return in.Word();
    }
  }

  void Snapshot(MachineShot& s) {
    Arena& arena = TheArena();
    s.context = *context_;
    // Whole pages: a block's last page is live past its size.
    const uint8_t* image = arena.Base() + context_->imageBase;
    s.image.assign(image, image + Pages(context_->programSize + 4));
    const uint8_t* stack = arena.Base() + context_->stackBase;
    s.stack.assign(stack, stack + Pages(stackSize_));
    s.flags[0] = StopFlag().load(), s.flags[1] = ActiveFlag().load();
    // The run flags' page is live past them, and programs reach it.
    const uint8_t* flagPage = arena.Base() + FlagPage();
    s.flagPage.assign(flagPage, flagPage + Arena::kPageSize);
    s.traps = TrapLog().size();
  }
  static Addr FlagPage() { return StopFlagAddress() & ~(Arena::kPageSize - 1); }
  static uint32_t Pages(uint32_t n) { return (n + Arena::kPageSize - 1) & ~(Arena::kPageSize - 1); }
  void Restore(const MachineShot& s) {
    Arena& arena = TheArena();
    *context_ = s.context;
    std::memcpy(arena.Base() + context_->imageBase, s.image.data(), s.image.size());
    std::memcpy(arena.Base() + context_->stackBase, s.stack.data(), s.stack.size());
    std::memcpy(arena.Base() + FlagPage(), s.flagPage.data(), s.flagPage.size());
    StopFlag().store(s.flags[0]), ActiveFlag().store(s.flags[1]);
    TrapLog().clear();
  }

  std::vector<MachineShot> Run(bool translated) {
    std::vector<MachineShot> shots;
    TrapLog().clear();
    for (int n : rounds_) {
      MachineShot s;
      s.fault = translated ? RunTranslated(context_, n, true) : RunSliceLoop<true, true>(context_, n);
      Snapshot(s);
      s.traps = TrapLog().size();
      shots.push_back(std::move(s));
      Resume(shots.size());
    }
    logs_[translated] = TrapLog();
    return shots;
  }

  // After a fault or an end the program goes on at the instruction after
  // pc (or at one picked by the round, when pc left the code), so that one
  // early fault does not end the comparison.
  void Resume(size_t round) {
    MachineContext* c = context_;
    if (c->state == kRunning && !StopFlag().load()) return;
    c->state = kRunning;
    StopFlag().store(0);
    uint32_t at = c->pc - c->imageBase;
    if (at >= codeSize_) {
      c->pc = c->imageBase + starts_[round % starts_.size()];
      return;
    }
    auto next = std::upper_bound(starts_.begin(), starts_.end(), at);
    c->pc = c->imageBase + (next == starts_.end() ? 0 : *next);
  }

  std::string Differences(const std::vector<MachineShot>& a, const std::vector<MachineShot>& b) {
    if (a.size() != b.size()) return "rounds run";
    for (size_t k = 0; k < a.size(); ++k) {
      std::string d = Diff(a[k], b[k]);
      if (!d.empty()) return "round " + std::to_string(k) + ": " + d;
    }
    return {};
  }

  std::string Diff(const MachineShot& a, const MachineShot& b) {
    char buf[256];
    const MachineContext &x = a.context, &y = b.context;
    if (std::memcmp(&x, &y, sizeof x) != 0) {
      std::snprintf(buf, sizeof buf,
                    "context: pc %08X/%08X state %d/%d flags %d%d%d/%d%d%d r0-7 "
                    "%X %X %X %X %X %X %X %X / %X %X %X %X %X %X %X %X",
                    x.pc, y.pc, x.state, y.state, x.eq, x.lt, x.ltu, y.eq, y.lt, y.ltu, x.r[0], x.r[1],
                    x.r[2], x.r[3], x.r[4], x.r[5], x.r[6], x.r[7], y.r[0], y.r[1], y.r[2], y.r[3], y.r[4],
                    y.r[5], y.r[6], y.r[7]);
      return buf;
    }
    if (a.fault != b.fault) return "fault " + std::to_string(a.fault) + "/" + std::to_string(b.fault);
    if (a.image != b.image) return "image bytes";
    if (a.stack != b.stack) return "stack bytes";
    if (a.flags[0] != b.flags[0] || a.flags[1] != b.flags[1]) return "run flags";
    if (a.flagPage != b.flagPage) return "run flags' page";
    if (a.traps != b.traps) return "native call count";
    return {};
  }

  MachineContext* context_ = nullptr;
  uint32_t stackSize_ = 0, codeSize_ = 0, dataSize_ = 0, pageShift_ = 12;
  int rounds_[12] = {};
  std::vector<uint32_t> starts_;  // the instructions' offsets
  MachineShot start_;
  std::vector<TrapRecord> logs_[2];
};

}  // namespace qavz::test
