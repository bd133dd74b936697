// Compiles sources written to a scratch directory and runs them on the
// machine with a small trap handler: native 0 is out(value), native 1 is
// outs(text), native 2 returns 40 + its argument.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "vm/machine_context.h"

namespace qavz::test {

struct RunResult {
  bool compiled = false;
  int state = -1;      // context state after running (1 normal end, 2 fault)
  int32_t result = 0;  // r0 when main ended
  std::vector<int32_t> out;
  std::string text;  // outs() texts joined with '|'
  uint32_t codeSize = 0, dataSize = 0;
};

// The prelude every test program may include: three natives bound by trap.
extern const char* const kPrelude;

class CompilerFixture {
 public:
  CompilerFixture();
  ~CompilerFixture();
  // Writes `files` (name -> text) and returns the path of `main`, relative to
  // the fixture's directory, which is the current directory while it lives.
  std::string Write(const std::map<std::string, std::string>& files, const std::string& main = "main.c");
  std::string Dir() const { return dir_; }
  // Compiles (two passes through LoadProgram) and runs until the end.
  RunResult Run(const std::string& source, bool prelude = true);
  RunResult RunFiles(const std::map<std::string, std::string>& files, const std::string& main = "main.c");
  // Sizing pass only; the gathered messages in UTF-8.
  bool Check(const std::string& source, std::string* messages, bool prelude = true);
  bool CheckPath(const std::string& path, std::string* messages);
  // The listing of a sizing pass (echo on or off).
  std::string Listing(const std::string& source, bool echo = false, bool prelude = false);

 private:
  std::string dir_;
  std::string oldCwd_;
};

}  // namespace qavz::test

namespace qavz::test {

// The message of each numbered compile error, as shown.
extern const char* const kCompileErrors[25];

}  // namespace qavz::test

namespace qavz::test {

// Base of the compiler test fixtures: runs snippets and checks errors.
class CompilerTest : public ::testing::Test {
 protected:
  CompilerFixture f;
  // The values a program passes to out(): `decls`, then main with `body`.
  // With `mustEnd` the program must also end normally (state 1).
  std::vector<int32_t> RunOuts(const std::string& decls, const std::string& body, bool mustEnd);
  // The sizing pass of `source` fails with compile error `code`, and the
  // messages contain `where` when given.
  void ExpectError(const std::string& source, int code, const char* where = nullptr);
};

}  // namespace qavz::test
