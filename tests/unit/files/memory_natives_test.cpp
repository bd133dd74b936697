#include <gtest/gtest.h>

#include "core/service_hooks.h"
#include "files/lzw.h"
#include "files_test_support.h"
#include "host/script_threads.h"

namespace qavz {
namespace {

using test::A;
using test::FilesTest;
using test::ScriptMemory;

class HeapNatives : public FilesTest {
 protected:
  void TearDown() override {
    FreeScriptHeap();
    FilesTest::TearDown();
  }
  ScriptMemory m;
};

TEST_F(HeapNatives, TwoHundredFiftySixBlocksThenNoneUntilOneIsFreed) {
  std::vector<int32_t> blocks;
  for (int i = 0; i < 256; ++i) {
    blocks.push_back(Native_malloc(m.Args({16})));
    ASSERT_NE(blocks.back(), 0) << i;
  }
  EXPECT_EQ(Native_malloc(m.Args({16})), 0);
  EXPECT_EQ(Native_free(m.Args({blocks[100]})), 1);
  EXPECT_FALSE(TheArena().Live(Addr(blocks[100]), 1)) << "the block is gone";
  EXPECT_EQ(Native_free(m.Args({blocks[100]})), 0) << "not twice";
  EXPECT_NE(Native_malloc(m.Args({16})), 0);
  EXPECT_EQ(Native_malloc(m.Args({16})), 0);
  FreeScriptHeap();
  EXPECT_FALSE(TheArena().Live(Addr(blocks[0]), 1)) << "service shut-down frees every block";
  EXPECT_NE(Native_malloc(m.Args({16})), 0);
}

TEST_F(HeapNatives, FreeOfAForeignAddressFreesNothing) {
  Addr foreign = TheArena().Alloc(64);
  EXPECT_EQ(Native_free(m.Args({A(foreign)})), 0);
  EXPECT_TRUE(TheArena().Live(foreign, 64));
  TheArena().Free(foreign);
  int32_t b = Native_malloc(m.Args({64}));
  EXPECT_EQ(Native_free(m.Args({b + 4})), 0) << "only the block's own address";
  EXPECT_EQ(Native_free(m.Args({0})), 0);
  EXPECT_EQ(Native_malloc(m.Args({-1})), 0) << "more than the machine holds";
}

TEST_F(HeapNatives, MemcmpIsUnsigned) {
  auto cmp = [&](const std::string& a, const std::string& b, int32_t n) {
    return Native_memcmp(m.Args({A(m.Str(a)), A(m.Str(b)), n}));
  };
  EXPECT_EQ(cmp("abc", "abd", 3), -1);
  EXPECT_EQ(cmp("abd", "abc", 3), 1);
  EXPECT_EQ(cmp("\x80", "\x01", 1), 1);
  EXPECT_EQ(cmp("abc", "abd", 2), 0);
  EXPECT_EQ(cmp("x", "y", 0), 0);
}

TEST_F(HeapNatives, CopiesAndFills) {
  Addr a = m.Str("abcdefgh");
  EXPECT_EQ(Native_memcpy(m.Args({A(a + 1), A(a), 4})), 1);
  EXPECT_EQ(m.StringAt(a), "aaaaafgh") << "memcpy copies forward";
  a = m.Str("abcdefgh");
  EXPECT_EQ(Native_memmove(m.Args({A(a + 1), A(a), 4})), 1);
  EXPECT_EQ(m.StringAt(a), "aabcdfgh");
  EXPECT_EQ(Native_memset(m.Args({A(a), 0x17A, 3})), 1);
  EXPECT_EQ(m.StringAt(a), "zzzcdfgh") << "low 8 bits of the value";
  Addr tail = m.Tail(4);
  EXPECT_EQ(Native_memset(m.Args({A(tail), 0, 5})), 0) << "past live memory: refused";
  EXPECT_EQ(Native_memcpy(m.Args({A(a), A(tail), 5})), 0);
  EXPECT_EQ(Native_memmove(m.Args({0x40, A(a), 2})), 0);
  EXPECT_EQ(Native_memcpy(m.Args({A(a), A(a), -3})), 0);
  EXPECT_EQ(m.StringAt(a), "zzzcdfgh");
}

TEST_F(HeapNatives, MloadWholeOrAPartOfAnExpandedFile) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += char('A' + i % 26);
  ASSERT_TRUE(WriteCompressedFile("m.dat", reinterpret_cast<const uint8_t*>(text.data()), 200));
  Addr name = m.Str("m.dat");
  int32_t whole = Native_mload(m.Args({A(name), 0, 0}));
  ASSERT_NE(whole, 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(TheArena().Span(Addr(whole), 200)), 200), text);
  int32_t part = Native_mload(m.Args({A(name), 100, 10}));
  ASSERT_NE(part, 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(TheArena().Span(Addr(part), 10)), 10), text.substr(100, 10));
  EXPECT_EQ(Native_free(m.Args({part})), 1) << "an mload block is a heap block";
  EXPECT_EQ(Native_mload(m.Args({A(name), 500, 10})), 0) << "an offset past the end";
  EXPECT_EQ(Native_mload(m.Args({A(m.Str("none.dat")), 0, 0})), 0);
}

TEST_F(HeapNatives, SysfileOfAMissingFileStillBinds) {
  Addr block = m.Buffer(8, 'k');
  Addr name = m.Str("save.dat");
  EXPECT_EQ(Native_sysio(m.Args({0})), 0) << "nothing bound";
  EXPECT_EQ(Native_sysfile(m.Args({A(name), A(block), 8})), 0);
  EXPECT_EQ(Native_sysio(m.Args({1})), 1);
  EXPECT_EQ(test::ReadFile("save.dat"), std::vector<uint8_t>(8, 'k'));
  test::WriteFile("save.dat", "12345678");
  EXPECT_EQ(Native_sysio(m.Args({0})), 1);
  EXPECT_EQ(m.StringAt(block).substr(0, 8), "12345678");
  Addr other = m.Buffer(8);
  EXPECT_EQ(Native_sysfile(m.Args({A(name), A(other), 8})), 1) << "an existing file is read";
  EXPECT_EQ(m.StringAt(other).substr(0, 8), "12345678");
  EXPECT_EQ(Native_sysfile(m.Args({0, A(other), 8})), 0);
  EXPECT_EQ(Native_sysfile(m.Args({A(name), A(m.Tail(4)), 8})), 0) << "block past live memory";
  FreeScriptHeap();
  EXPECT_EQ(Native_sysio(m.Args({1})), 0) << "the binding ends with the services";
}

TEST_F(HeapNatives, SysfileBlockIsWrittenAtShutDown) {
  Addr block = m.Buffer(6, 'S');
  std::filesystem::create_directory("sub");
  EXPECT_EQ(Native_sysfile(m.Args({A(m.Str("SUB\\state.sav")), A(block), 6})), 0);
  ShutdownServices();
  EXPECT_EQ(test::ReadFile("sub/state.sav"), std::vector<uint8_t>(6, 'S'));
}

}  // namespace
}  // namespace qavz
