#include "vm/disassembler.h"

#include <cstdio>
#include <cstring>

#include "vm/opcodes.h"

namespace qavz {

namespace {

// The listing puts two tabs after a short mnemonic, one after a long one.
std::string Head(int op) {
  std::string head = "\t";
  head += kOpcodes[op].mnemonic;
  if (HasWordSuffix(op)) head += 'w';
  head += head.size() < 5 ? "\t\t" : "\t";
  return head;
}

std::string Format(const char* format, long long a = 0, long long b = 0, long long c = 0) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

std::string DisassembleOne(const uint8_t* p, size_t available, Addr, uint32_t& length) {
  length = 1;
  if (available == 0) return "";
  uint8_t op = p[0];
  if (op >= kOpcodeCount || available < kOpcodes[op].length) return Format("\t.byte %lld", op);
  const OpcodeInfo& info = kOpcodes[op];
  length = info.length;
  int d = available > 1 ? p[1] & 15 : 0, s = available > 1 ? p[1] >> 4 : 0;
  auto word = [&](int at) {
    int32_t v;
    std::memcpy(&v, p + at, 4);
    return int64_t(v);
  };
  auto address = [&](int at) { return int64_t(uint32_t(word(at))); };
  std::string head = Head(op);
  switch (info.form) {
    case OperandForm::kNone:
      return std::string("\t") + info.mnemonic;
    case OperandForm::kIndex16:
      return head + Format("%lld", p[1] | p[2] << 8);
    case OperandForm::kRegReg:
      return head + Format("r%lld, r%lld", d, s);
    case OperandForm::kRegOne:
      return head + (d == s ? Format("r%lld", d) : Format("r%lld, r%lld", d, s));
    case OperandForm::kRegImm:
      return head + Format("r%lld, $%lld", d, word(2));
    case OperandForm::kRegAddr:
      return head + Format("r%lld, $@0x%llX", d, address(2));
    case OperandForm::kRegAbs:
      return head + Format("r%lld, 0x%llX", d, address(2));
    case OperandForm::kRegOff:
      return head + Format("r%lld, %lld(r6)", d, word(2));
    case OperandForm::kRegInd:
      return head + Format("r%lld, (r%lld)", d, s);
    case OperandForm::kAbsReg:
      return head + Format("0x%llX, r%lld", address(2), s);
    case OperandForm::kOffReg:
      return head + Format("%lld(r6), r%lld", word(2), s);
    case OperandForm::kIndReg:
      return head + Format("(r%lld), r%lld", d, s);
    case OperandForm::kPushReg:
    case OperandForm::kCallReg:
      return head + Format("r%lld", s);
    case OperandForm::kPushImm:
      return head + Format("$%lld", word(1));
    case OperandForm::kPopReg:
      return head + Format("r%lld", d);
    case OperandForm::kFrame:
      return head + Format("%lld", word(1));
    case OperandForm::kTarget:
    case OperandForm::kZeroAbs:
      return head + Format("0x%llX", address(1));
    case OperandForm::kZeroOff:
      return head + Format("%lld(r6)", word(1));
    case OperandForm::kStep:
      return head +
             (d == s ? Format("r%lld, %lld", d, word(2)) : Format("r%lld, (r%lld), %lld", d, s, word(2)));
    case OperandForm::kIncDec:
      return head + (d == s ? Format("(r%lld)", s) : Format("r%lld, (r%lld)", d, s));
  }
  return "";
}

std::string Disassemble(const uint8_t* bytes, size_t size, Addr origin, bool withAddresses) {
  std::string text;
  size_t pos = 0;
  while (pos < size) {
    uint32_t length;
    Addr at = origin + uint32_t(pos);
    std::string line = DisassembleOne(bytes + pos, size - pos, at, length);
    if (withAddresses) text += Format("%08llX:", at);
    text += line;
    text += '\n';
    pos += length;
  }
  return text;
}

}  // namespace qavz
