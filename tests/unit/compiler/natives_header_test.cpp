// The authors' native header: one trap line per native, in table order,
// with as many named parameters as the native takes; and it compiles.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "compiler/compiler.h"
#include "compiler_harness.h"
#include "host/native_table.h"

namespace qavz::test {
namespace {

std::string Header() {
  std::ifstream in(std::filesystem::path(QAVZ_SOURCE_DIR) / "include" / "natives.h", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(NativesHeader, OneTrapLinePerNativeInTableOrder) {
  std::istringstream lines(Header());
  std::regex trap(R"(^#trap int (\w+)\(([^)]*)\);$)");
  std::string line;
  int index = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("#trap", 0) != 0) continue;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, trap)) << line;
    ASSERT_LT(index, kNativeCount);
    EXPECT_EQ(m[1].str(), kNativeTable[index].name) << "row " << index;
    std::string params = m[2].str();
    int count = params.empty() ? 0 : 1 + int(std::count(params.begin(), params.end(), ','));
    if (kNativeTable[index].argCount >= 0)
      EXPECT_EQ(count, kNativeTable[index].argCount) << line;
    else
      EXPECT_GE(count, 1) << "a variadic native names its fixed arguments: " << line;
    ++index;
  }
  EXPECT_EQ(index, kNativeCount);
}

TEST(NativesHeader, CompilesAndBindsByOrder) {
  CompilerFixture f;
  std::string header = Header();
  f.Write({{"natives.h", header}});
  std::string listing = f.Listing("#include \"natives.h\"\nint main() { return strlen(\"abc\"); }\n");
  EXPECT_NE(listing.find("strlen:\n\ttrap\t192\n\tret\n\n"), std::string::npos);
  EXPECT_NE(listing.find("log_out:\n\ttrap\t260\n\tret\n\n"), std::string::npos);
  EXPECT_NE(listing.find("\tcall\tstrlen\n"), std::string::npos);
}

}  // namespace
}  // namespace qavz::test
