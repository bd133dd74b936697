#include "vm/assembler.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "vm/opcodes.h"

namespace qavz {

namespace {

struct Operand {
  enum Kind { kReg, kImm, kMem, kOff, kInd } kind = kMem;
  int reg = 0;           // kReg; base of kOff; kInd
  bool address = false;  // kImm written $name or $@N
  std::string symbol;    // empty for a plain number
  int64_t value = 0;     // number, or offset added to the symbol
};

// Mnemonics the listing prints that differ from the table's spelling.
const std::map<std::string, std::string, std::less<>> kAliases = {
    {"cmpl", "cmp"},       {"preincb", "preinc"},   {"postincb", "postinc"},
    {"predecb", "predec"}, {"postdecb", "postdec"},
};

// The table's mnemonic, with the "w" of the 16-bit increments.
bool SpelledAs(std::string_view name, int op) {
  std::string_view mnemonic = kOpcodes[op].mnemonic;
  if (!HasWordSuffix(op)) return name == mnemonic;
  return name.size() == mnemonic.size() + 1 && name.starts_with(mnemonic) && name.back() == 'w';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool IsNameChar(char ch) {
  return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '.' || ch == '@';
}

// Splits on commas that are outside parentheses and quotes.
std::vector<std::string_view> SplitOperands(std::string_view s) {
  std::vector<std::string_view> parts;
  int depth = 0;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    char ch = s[i];
    if (quoted) {
      if (ch == '\\')
        ++i;
      else if (ch == '"')
        quoted = false;
    } else if (ch == '"') {
      quoted = true;
    } else if (ch == '(') {
      ++depth;
    } else if (ch == ')') {
      --depth;
    } else if (ch == ',' && depth == 0) {
      parts.push_back(Trim(s.substr(start, i - start)));
      start = i + 1;
    }
  }
  if (!Trim(s.substr(start)).empty() || !parts.empty()) parts.push_back(Trim(s.substr(start)));
  return parts;
}

bool ParseNumber(std::string_view s, int64_t& value) {
  std::string text(Trim(s));
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 0);
  return end && *end == '\0';
}

bool ParseRegister(std::string_view s, int& reg) {
  s = Trim(s);
  if (s.size() < 2 || s[0] != 'r') return false;
  int64_t n;
  if (!ParseNumber(s.substr(1), n) || n < 0 || n > 15) return false;
  reg = int(n);
  return true;
}

// number | name | name[n] | name+n | name-n
bool ParseValue(std::string_view s, Operand& op) {
  s = Trim(s);
  if (s.empty()) return false;
  if (ParseNumber(s, op.value)) return true;
  size_t n = 0;
  while (n < s.size() && IsNameChar(s[n])) ++n;
  if (n == 0) return false;
  op.symbol = std::string(s.substr(0, n));
  std::string_view rest = Trim(s.substr(n));
  if (rest.empty()) return true;
  if (rest.front() == '[' && rest.back() == ']')
    return ParseNumber(rest.substr(1, rest.size() - 2), op.value);
  if (rest.front() == '+') return ParseNumber(rest.substr(1), op.value);
  if (rest.front() == '-') return ParseNumber(rest, op.value);
  return false;
}

bool ParseOperand(std::string_view s, Operand& op) {
  s = Trim(s);
  if (s.empty()) return false;
  if (s.front() == '$') {
    op.kind = Operand::kImm;
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '@') {
      op.address = true;
      s.remove_prefix(1);
    }
    if (!ParseValue(s, op)) return false;
    if (!op.symbol.empty()) op.address = true;
    return true;
  }
  if (ParseRegister(s, op.reg)) {
    op.kind = Operand::kReg;
    return true;
  }
  if (s.back() == ')') {
    size_t open = s.rfind('(');
    if (open == std::string_view::npos || !ParseRegister(s.substr(open + 1, s.size() - open - 2), op.reg))
      return false;
    std::string_view disp = Trim(s.substr(0, open));
    if (disp.empty()) {
      op.kind = Operand::kInd;
      return true;
    }
    op.kind = Operand::kOff;
    return ParseValue(disp, op);
  }
  op.kind = Operand::kMem;
  return ParseValue(s, op);
}

class Assembler {
 public:
  Assembler(Addr origin, uint32_t programSize) : origin_(origin), programSize_(programSize) {}

  bool Run(std::string_view text, AssembledProgram& out, std::string& error);

 private:
  bool Line(std::string_view line);
  bool Instruction(std::string_view mnemonic, std::string_view operands);
  bool Encode(int op, const std::vector<Operand>& ops);
  bool Directive(std::string_view name, std::string_view args);
  bool Ascii(std::string_view args);
  bool Fail(const std::string& message) {
    if (error_.empty()) error_ = "line " + std::to_string(line_) + ": " + message;
    return false;
  }
  // The operand's value; unknown names are 0 in the sizing pass and an
  // error in the emitting pass.
  bool Resolve(const Operand& op, uint32_t& value) {
    if (op.symbol.empty()) {
      value = uint32_t(op.value);
      return true;
    }
    auto it = symbols_.find(op.symbol);
    if (it == symbols_.end()) {
      value = 0;
      return pass_ == 1 || Fail("unknown name " + op.symbol);
    }
    value = it->second + uint32_t(op.value);
    return true;
  }
  void Byte(uint32_t v) { code_.push_back(uint8_t(v)); }
  void Half(uint32_t v) { Byte(v), Byte(v >> 8); }
  void Word(uint32_t v) { Half(v), Half(v >> 16); }
  void Opcode(int op, int d, int s) { Byte(uint32_t(op)), Byte(uint32_t(s << 4 | d)); }
  bool Value32(const Operand& op) {
    uint32_t v;
    if (!Resolve(op, v)) return false;
    Word(v);
    return true;
  }

  Addr origin_;
  uint32_t programSize_;
  int pass_ = 1;
  int line_ = 0;
  uint32_t dataSize_ = 0;
  std::map<std::string, uint32_t> dataOffsets_;  // name -> distance below the end
  std::vector<uint8_t> code_;
  std::map<std::string, Addr> symbols_;
  std::string error_;
};

bool Assembler::Run(std::string_view text, AssembledProgram& out, std::string& error) {
  for (pass_ = 1; pass_ <= 2; ++pass_) {
    code_.clear();
    dataSize_ = 0;
    line_ = 0;
    if (pass_ == 2) {
      uint64_t need = uint64_t(out.code.size()) + out.dataSize;
      if (programSize_ == 0) programSize_ = uint32_t(need);
      if (need > programSize_) {
        error = "program needs " + std::to_string(need) + " bytes";
        return false;
      }
      // Data is placed downward from the end, known only now.
      for (auto& [name, offset] : dataOffsets_) symbols_[name] = origin_ + programSize_ - offset;
    }
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t nl = text.find('\n', pos);
      if (nl == std::string_view::npos) nl = text.size();
      ++line_;
      if (!Line(text.substr(pos, nl - pos))) {
        error = error_;
        return false;
      }
      pos = nl + 1;
    }
    out.code = code_;
    out.dataSize = dataSize_;
  }
  out.programSize = programSize_;
  out.symbols = symbols_;
  return true;
}

bool Assembler::Line(std::string_view line) {
  // Cut the comment, minding quotes.
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (quoted && line[i] == '\\')
      ++i;
    else if (line[i] == '"')
      quoted = !quoted;
    else if (line[i] == ';' && !quoted) {
      line = line.substr(0, i);
      break;
    }
  }
  line = Trim(line);
  if (line.empty() || line.front() == '*') return true;
  // Labels, possibly followed by a statement on the same line.
  size_t n = 0;
  while (n < line.size() && IsNameChar(line[n])) ++n;
  if (n > 0 && n < line.size() && line[n] == ':') {
    std::string name(line.substr(0, n));
    Addr here = origin_ + uint32_t(code_.size());
    if (pass_ == 1) {
      if (symbols_.count(name) || dataOffsets_.count(name)) return Fail("duplicate name " + name);
      symbols_[name] = here;
    }
    return Line(line.substr(n + 1));
  }
  size_t space = 0;
  while (space < line.size() && !std::isspace(static_cast<unsigned char>(line[space]))) ++space;
  std::string_view head = line.substr(0, space), rest = Trim(line.substr(space));
  if (head.front() == '.') return Directive(head, rest);
  return Instruction(head, rest);
}

bool Assembler::Directive(std::string_view name, std::string_view args) {
  if (name == ".file" || name == ".text" || name == ".global" || name == ".globl" || name == ".data")
    return true;
  if (name == ".ascii") return Ascii(args);
  std::vector<std::string_view> parts = SplitOperands(args);
  if (name == ".comm" || name == ".lcomm") {
    int64_t size;
    if (parts.size() != 2 || !ParseNumber(parts[1], size) || size < 0 || size > 0x7FFFFFFF)
      return Fail("bad " + std::string(name));
    dataSize_ += uint32_t(size);
    if (pass_ == 1) {
      std::string symbol(parts[0]);
      if (symbols_.count(symbol) || dataOffsets_.count(symbol)) return Fail("duplicate name " + symbol);
      dataOffsets_[symbol] = dataSize_;
    }
    return true;
  }
  int width = name == ".byte" ? 1 : name == ".short" ? 2 : name == ".long" ? 4 : 0;
  if (width == 0) return Fail("unknown directive " + std::string(name));
  if (width == 1 && parts.size() == 1 && parts[0].substr(0, 1) == "?") {
    // "? dup(n)": n zero bytes
    std::string_view dup = Trim(parts[0].substr(1));
    int64_t count;
    if (dup.substr(0, 4) != "dup(" || dup.back() != ')' ||
        !ParseNumber(dup.substr(4, dup.size() - 5), count) || count < 0 || count > (1 << 28))
      return Fail("bad dup");
    code_.insert(code_.end(), size_t(count), 0);
    return true;
  }
  if (parts.empty()) return Fail("missing value");
  for (std::string_view part : parts) {
    Operand op;
    if (!part.empty() && part.front() == '$') part.remove_prefix(1);
    if (!ParseValue(part, op)) return Fail("bad value " + std::string(part));
    uint32_t v;
    if (!Resolve(op, v)) return false;
    for (int i = 0; i < width; ++i) Byte(v >> (8 * i));
  }
  return true;
}

// "text" with \n, \xNN, \", \\ and \0 escapes; other bytes as they stand.
bool Assembler::Ascii(std::string_view args) {
  if (args.size() < 2 || args.front() != '"' || args.back() != '"') return Fail("bad .ascii");
  args = args.substr(1, args.size() - 2);
  for (size_t i = 0; i < args.size(); ++i) {
    char ch = args[i];
    if (ch != '\\' || i + 1 == args.size()) {
      Byte(uint8_t(ch));
      continue;
    }
    char e = args[++i];
    if (e == 'n')
      Byte('\n');
    else if (e == 't')
      Byte('\t');
    else if (e == '0')
      Byte(0);
    else if (e == 'x' && i + 2 < args.size() + 0 && std::isxdigit(static_cast<unsigned char>(args[i + 1]))) {
      std::string hex(args.substr(i + 1, 2));
      Byte(uint32_t(std::strtoul(hex.c_str(), nullptr, 16)));
      i += hex.size() == 2 && std::isxdigit(static_cast<unsigned char>(hex[1])) ? 2 : 1;
    } else if (e == '"' || e == '\\')
      Byte(uint8_t(e));
    else
      Byte('\\'), Byte(uint8_t(e));
  }
  return true;
}

bool Assembler::Instruction(std::string_view mnemonic, std::string_view operands) {
  std::string name(mnemonic);
  if (auto alias = kAliases.find(name); alias != kAliases.end()) name = alias->second;
  std::vector<Operand> ops;
  for (std::string_view part : SplitOperands(operands)) {
    Operand op;
    if (!ParseOperand(part, op)) return Fail("bad operand " + std::string(part));
    ops.push_back(op);
  }
  bool known = false;
  for (int op = 0; op < kOpcodeCount; ++op) {
    if (!SpelledAs(name, op)) continue;
    known = true;
    size_t before = code_.size();
    if (Encode(op, ops)) {
      if (code_.size() - before != kOpcodes[op].length) return Fail("internal length mismatch");
      return true;
    }
    if (!error_.empty()) return false;
    code_.resize(before);
  }
  return Fail(known ? "operands do not fit " + std::string(mnemonic) : "unknown mnemonic " + name);
}

// Emits opcode `op` when the operands fit its form; false (nothing decided)
// when they do not, so the caller tries the next row of the same mnemonic.
bool Assembler::Encode(int op, const std::vector<Operand>& ops) {
  using K = Operand::Kind;
  auto is = [&](std::initializer_list<K> kinds) {
    if (ops.size() != kinds.size()) return false;
    size_t i = 0;
    for (K k : kinds)
      if (ops[i++].kind != k) return false;
    return true;
  };
  constexpr int kFrameReg = 6;  // the unused nibble of abs and off(r6) forms
  switch (kOpcodes[op].form) {
    case OperandForm::kNone:
      if (!ops.empty()) return false;
      Byte(uint32_t(op));
      return true;
    case OperandForm::kIndex16: {
      if (!is({K::kMem}) || !ops[0].symbol.empty() || ops[0].value < 0 || ops[0].value > 0xFFFF) return false;
      Byte(uint32_t(op));
      Half(uint32_t(ops[0].value));
      return true;
    }
    case OperandForm::kRegReg:
      if (!is({K::kReg, K::kReg})) return false;
      Opcode(op, ops[0].reg, ops[1].reg);
      return true;
    case OperandForm::kRegOne:
      if (is({K::kReg}))
        Opcode(op, ops[0].reg, ops[0].reg);
      else if (is({K::kReg, K::kReg}))
        Opcode(op, ops[0].reg, ops[1].reg);
      else
        return false;
      return true;
    case OperandForm::kRegImm:
    case OperandForm::kRegAddr:
      if (!is({K::kReg, K::kImm})) return false;
      // $name or $@N picks LoadAddr over LoadImm; the other rows take either.
      if ((op == int(Opcode::kLoadImm) || op == int(Opcode::kLoadAddr)) &&
          ops[1].address != (op == int(Opcode::kLoadAddr)))
        return false;
      // S repeats D, as in the 0x773B of `add r7, imm` after a call.
      Opcode(op, ops[0].reg, ops[0].reg);
      return Value32(ops[1]);
    case OperandForm::kRegAbs:
      if (!is({K::kReg, K::kMem})) return false;
      Opcode(op, ops[0].reg, kFrameReg);
      return Value32(ops[1]);
    case OperandForm::kRegOff:
      if (!is({K::kReg, K::kOff})) return false;
      Opcode(op, ops[0].reg, kFrameReg);
      return Value32(ops[1]);
    case OperandForm::kRegInd:
      if (!is({K::kReg, K::kInd})) return false;
      Opcode(op, ops[0].reg, ops[1].reg);
      return true;
    case OperandForm::kAbsReg:
      if (!is({K::kMem, K::kReg})) return false;
      Opcode(op, kFrameReg, ops[1].reg);
      return Value32(ops[0]);
    case OperandForm::kOffReg:
      if (!is({K::kOff, K::kReg})) return false;
      Opcode(op, kFrameReg, ops[1].reg);
      return Value32(ops[0]);
    case OperandForm::kIndReg:
      if (!is({K::kInd, K::kReg})) return false;
      Opcode(op, ops[0].reg, ops[1].reg);
      return true;
    case OperandForm::kPushReg:
    case OperandForm::kCallReg:
      if (!is({K::kReg})) return false;
      Opcode(op, 0, ops[0].reg);
      return true;
    case OperandForm::kPushImm:
      if (!is({K::kImm})) return false;
      Byte(uint32_t(op));
      return Value32(ops[0]);
    case OperandForm::kPopReg:
      if (!is({K::kReg})) return false;
      Opcode(op, ops[0].reg, 7);
      return true;
    case OperandForm::kFrame:
      if (ops.empty()) {
        Byte(uint32_t(op));
        Word(0);
        return true;
      }
      if (!is({K::kMem}) && !is({K::kImm})) return false;
      Byte(uint32_t(op));
      return Value32(ops[0]);
    case OperandForm::kTarget:
    case OperandForm::kZeroAbs:
      if (!is({K::kMem})) return false;
      Byte(uint32_t(op));
      return Value32(ops[0]);
    case OperandForm::kZeroOff:
      if (!is({K::kOff})) return false;
      Byte(uint32_t(op));
      return Value32(ops[0]);
    case OperandForm::kStep: {
      // rD, n (address in rD too) or rD, (rS), n; n with or without '$'
      const Operand* step = nullptr;
      if (ops.size() == 2 && ops[0].kind == K::kReg && (ops[1].kind == K::kMem || ops[1].kind == K::kImm)) {
        Opcode(op, ops[0].reg, ops[0].reg);
        step = &ops[1];
      } else if (ops.size() == 3 && ops[0].kind == K::kReg && ops[1].kind == K::kInd &&
                 (ops[2].kind == K::kMem || ops[2].kind == K::kImm)) {
        Opcode(op, ops[0].reg, ops[1].reg);
        step = &ops[2];
      } else {
        return false;
      }
      return Value32(*step);
    }
    case OperandForm::kIncDec:
      if (is({K::kInd}))
        Opcode(op, ops[0].reg, ops[0].reg);
      else if (is({K::kReg, K::kInd}))
        Opcode(op, ops[0].reg, ops[1].reg);
      else
        return false;
      return true;
  }
  return false;
}

}  // namespace

bool Assemble(std::string_view text, Addr origin, uint32_t programSize, AssembledProgram& out,
              std::string& error) {
  out = AssembledProgram{};
  Assembler assembler(origin, programSize);
  return assembler.Run(text, out, error);
}

MachineContext* AssembleContext(std::string_view text, uint32_t stackSize, std::string* error,
                                uint32_t programSize) {
  std::string message;
  AssembledProgram sized;
  // Every encoding has a fixed length, so a first run at origin 0 gives the
  // size; the second places the program at the image's real address.
  if (!Assemble(text, 0, programSize, sized, message)) {
    if (error) *error = message;
    return nullptr;
  }
  MachineContext* c = CreateContext(sized.programSize, stackSize);
  if (!c) {
    if (error) *error = "out of memory";
    return nullptr;
  }
  AssembledProgram placed;
  if (!Assemble(text, c->imageBase, sized.programSize, placed, message)) {
    if (error) *error = message;
    FreeContext(c);
    return nullptr;
  }
  if (!placed.code.empty())
    std::memcpy(TheArena().Span(c->imageBase, uint32_t(placed.code.size())), placed.code.data(),
                placed.code.size());
  return c;
}

}  // namespace qavz
