// qavz-messages: prints the compiler's numbered error messages, one line
// each in code order, as a compile shows them (UTF-8, without the closing
// "。"). The script-test runner reads its expected texts from here.
#include <cstdio>

#include "compiler/compiler.h"

int main() {
  for (int code = 0; code < qavz::kCompileErrorCount; ++code)
    std::printf("%s\n", qavz::CompileErrorMessage(code));
  return 0;
}
