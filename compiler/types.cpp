// The node pool (a two-ended stack of words shared by type records and
// expression trees) and the language's types.
#include <cstring>

#include "compiler/internal.h"

namespace qavz::compiler {

int32_t Pool[kNodeWords];
int PoolLow = 1;
int PoolHigh = kNodeWords;
bool PoolFromHigh = false;

int32_t MakePointer(int32_t target) { return MakeNode(kRecPointer, target); }
int32_t MakeArray(int32_t element, int32_t count) { return MakeNode(kRecArray, element, count, 0, 2); }
int32_t MakeStruct(int kind, int32_t size, int32_t scope) { return MakeNode(kind, size, scope, 0, 2); }
int32_t MakeFunction(int32_t result) { return MakeNode(kRecFunction, result); }

// Sizes are capped well below 2 GiB so that no sum of them wraps.
int32_t SizeOf(int32_t type) {
  switch (type) {
    case kTLong:
    case kTULong:
      return 4;
    case kTShort:
    case kTUShort:
      return 2;
    case kTChar:
    case kTUChar:
      return 1;
    default:
      break;
  }
  switch (RecKind(type)) {
    case kRecPointer:
      return 4;
    case kRecArray: {
      int64_t n = int64_t(ArrayCount(type)) * SizeOf(Target(type));
      if (ArrayCount(type) < 0 || n > 0x3FFFFFFF) Fail(kErrDeclaration);
      return int32_t(n);
    }
    case kRecStruct:
    case kRecUnion:
      if (StructSize(type) < 0) Fail(kErrDeclaration);
      return StructSize(type);
    default:
      Fail(kErrDeclaration);
  }
}

bool SameType(int32_t a, int32_t b) {
  for (;;) {
    if (a < 0 || b < 0) return a == b;
    int k = RecKind(a);
    if (k != RecKind(b)) return false;
    if (k == kRecStruct || k == kRecUnion) return a == b;
    a = Target(a);
    b = Target(b);
  }
}

void CheckSameType(int32_t a, int32_t b) {
  if (!SameType(a, b)) Fail(kErrType);
}

}  // namespace qavz::compiler
