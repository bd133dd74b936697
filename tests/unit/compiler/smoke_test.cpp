#include <gtest/gtest.h>

#include "compiler_harness.h"

namespace qavz::test {
namespace {

TEST(CompilerSmoke, ReturnsAndCalls) {
  CompilerFixture f;
  RunResult r = f.Run(
      "int add(int a, int b) { return a + b; }\n"
      "int main() { out(add(2, 3)); outs(\"hi\"); return plus40(2); }\n");
  ASSERT_TRUE(r.compiled);
  EXPECT_EQ(r.state, 1);
  EXPECT_EQ(r.result, 42);
  ASSERT_EQ(r.out.size(), 1u);
  EXPECT_EQ(r.out[0], 5);
  EXPECT_EQ(r.text, "hi");
}

}  // namespace
}  // namespace qavz::test
