#include <gtest/gtest.h>

#include "core/service_hooks.h"
#include "files/lzw.h"
#include "files/special_folders.h"
#include "files_test_support.h"

namespace qavz {
namespace {

using test::A;
using test::FilesTest;
using test::ScriptMemory;

class PackNatives : public FilesTest {
 protected:
  void TearDown() override {
    ClosePackFiles();
    FilesTest::TearDown();
  }
  int32_t Open(const std::string& path) { return Native_pack_open(m.Args({A(m.Str(path))})); }
  ScriptMemory m;
};

TEST_F(PackNatives, SixteenSlotsThenNone) {
  test::WriteFile("f.txt", "abc");
  for (int i = 1; i <= 16; ++i) EXPECT_EQ(Open("f.txt"), i);
  EXPECT_EQ(Open("f.txt"), 0);
  EXPECT_EQ(Native_pack_close(m.Args({0})), 0);
  EXPECT_EQ(Native_pack_close(m.Args({17})), 0);
  EXPECT_EQ(Native_pack_close(m.Args({5})), 1);
  EXPECT_EQ(Native_pack_close(m.Args({5})), 1) << "an empty slot in range still gives 1";
  EXPECT_EQ(Open("f.txt"), 5) << "the lowest empty slot";
  ClosePackFiles();
  EXPECT_EQ(Native_pack_size(m.Args({1})), -1) << "shut-down empties every slot";
}

TEST_F(PackNatives, ReadSeekAndSizeThroughAHandle) {
  test::WriteFile("d.txt", "0123456789");
  int32_t h = Open("d.txt");
  ASSERT_EQ(h, 1);
  Addr buf = m.Buffer(16);
  EXPECT_EQ(Native_pack_size(m.Args({h})), 10);
  EXPECT_EQ(Native_pack_seek(m.Args({h, 4, 0})), 4);
  EXPECT_EQ(Native_pack_read(m.Args({h, A(buf), 16})), 6);
  EXPECT_EQ(m.StringAt(buf), "456789");
  EXPECT_EQ(Native_pack_read(m.Args({h, A(buf), 16})), 0);
  for (int32_t bad : {0, -1, 2, 17}) {
    EXPECT_EQ(Native_pack_read(m.Args({bad, A(buf), 4})), -1);
    EXPECT_EQ(Native_pack_seek(m.Args({bad, 0, 0})), -1);
    EXPECT_EQ(Native_pack_size(m.Args({bad})), -1);
  }
  EXPECT_EQ(Native_pack_seek(m.Args({h, 0, 0})), 0);
  EXPECT_EQ(Native_pack_read(m.Args({h, A(m.Tail(2)), 4})), -1) << "buffer reaching dead memory";
  EXPECT_EQ(Native_pack_read(m.Args({h, 0x100, 4})), -1);
  EXPECT_EQ(Native_pack_read(m.Args({h, A(buf), -1})), -1);
}

TEST_F(PackNatives, FallsBackToTheWindowsDirectory) {
  std::string windows = WindowsDirectory();
  ASSERT_FALSE(windows.empty());
  test::WriteFile(windows + "/only.dat", "W");
  int32_t h = Open("only.dat");
  ASSERT_EQ(h, 1);
  EXPECT_EQ(Native_pack_size(m.Args({h})), 1);
  EXPECT_EQ(Open("missing.dat"), 0);
}

TEST_F(PackNatives, SaveWritesACompressedFileThatOpenExpands) {
  std::string text(3000, 'q');
  Addr buf = m.Str(text);
  EXPECT_EQ(Native_pack_save(m.Args({A(m.Str("s.dat")), A(buf), 3000})), 1);
  std::vector<uint8_t> image = test::ReadFile("s.dat");
  std::vector<uint8_t> expect;
  ASSERT_TRUE(CompressToMemory(reinterpret_cast<const uint8_t*>(text.data()), 3000, expect));
  EXPECT_EQ(image, expect);
  int32_t h = Open("s.dat");
  EXPECT_EQ(Native_pack_size(m.Args({h})), 3000);
  Addr out = m.Buffer(3000);
  EXPECT_EQ(Native_pack_read(m.Args({h, A(out), 3000})), 3000);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(m.Host(out)), 3000), text);
}

TEST_F(PackNatives, SaveOfNothingGivesZeroAndAHeaderOnlyFile) {
  Addr buf = m.Buffer(8, 'x');
  EXPECT_EQ(Native_pack_save(m.Args({A(m.Str("z.dat")), A(buf), 0})), 0);
  EXPECT_EQ(test::ReadFile("z.dat").size(), 8u);
  EXPECT_EQ(Native_pack_save(m.Args({A(m.Str("n.dat")), 0, 10})), 0);
  EXPECT_EQ(Native_pack_save(m.Args({A(m.Str("d.dat")), A(m.Tail(4)), 10})), 0)
      << "a buffer reaching dead memory is not read";
  EXPECT_EQ(Native_pack_save(m.Args({0x200, A(buf), 8})), 0);
}

}  // namespace
}  // namespace qavz
