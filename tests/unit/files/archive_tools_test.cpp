#include "files/archive_tools.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

#include "files/exp_file.h"
#include "files/pack_archive.h"
#include "files_test_support.h"

namespace qavz {
namespace {

using test::FilesTest;

int Tool(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return RunArchiveTool(int(argv.size()), argv.data());
}

std::string Load(const char* path) {
  std::vector<uint8_t> bytes;
  return LoadExpFile(path, bytes) ? std::string(bytes.begin(), bytes.end()) : "<none>";
}

class ArchiveTools : public FilesTest {};

TEST_F(ArchiveTools, PackThenLookUpAndUnpackEveryMember) {
  std::map<std::string, std::string> files = {
      {"title.bmp", "T"}, {"bg/night.bmp", "N"}, {"bg/_day.bmp", "D"},     {"se/1.wav", "1"},
      {"se/~x.wav", "X"}, {"Z+z.txt", "Z"},      {"deep/er/f-g.dat", "F"}, {"empty", ""}};
  for (auto& [name, data] : files) test::WriteFile("data/" + name, data);
  ASSERT_EQ(Tool({"pack", "data/"}), 0);
  std::filesystem::rename("data", "moved");  // members now come from data.bin only

  std::vector<uint8_t> image = test::ReadFile("data.bin");
  int32_t count = 0;
  ASSERT_TRUE(ReadPackHeader(image.data(), image.size(), count));
  ASSERT_EQ(count, int32_t(files.size()));
  for (int32_t i = 0; i + 1 < count; ++i)
    EXPECT_LT(PackNameCompare(PackEntryName(&image[12 + 40 * i]), PackEntryName(&image[12 + 40 * (i + 1)])),
              0)
        << "sorted as the lookup expects";
  EXPECT_EQ(PackEntryName(&image[12]), "bg\\_day.bmp") << "'\\' and '_' before letters";
  for (auto& [name, data] : files) {
    std::string title = "data\\" + name;
    for (char& c : title)
      if (c == '/') c = '\\';
    EXPECT_EQ(Load(title.c_str()), data) << title;
  }

  ASSERT_EQ(Tool({"unpack", "data.bin", "out"}), 0);
  for (auto& [name, data] : files) {
    std::vector<uint8_t> got = test::ReadFile("out/" + name);
    EXPECT_EQ(std::string(got.begin(), got.end()), data) << name;
  }
  ASSERT_EQ(Tool({"unpack", "data.bin"}), 0);
  EXPECT_TRUE(std::filesystem::exists("data/bg/night.bmp"));
}

TEST_F(ArchiveTools, RefusesNamesTooLongOrClashingInCase) {
  test::WriteFile("long/" + std::string(28, 'n') + "/ab", "x");  // 31 bytes: fits
  EXPECT_EQ(Tool({"pack", "long"}), 0);
  test::WriteFile("long/" + std::string(28, 'n') + "/abc", "x");  // 32 bytes
  EXPECT_EQ(Tool({"pack", "long"}), 1);
  test::WriteFile("clash/a.txt", "1");
  test::WriteFile("clash/A.TXT", "2");
  EXPECT_EQ(Tool({"pack", "clash"}), 1);
  EXPECT_EQ(Tool({"pack", "nowhere"}), 1);
  EXPECT_EQ(Tool({"pack"}), 2);
  EXPECT_EQ(Tool({"frobnicate", "x"}), 2);
}

TEST_F(ArchiveTools, UnpackRefusesNamesThatLeaveTheDirectory) {
  for (const char* bad : {"..\\evil", "a\\..\\..\\evil", "\\abs", "a\\\\b"}) {
    std::vector<uint8_t> image(12 + 40 + 1, 0);
    std::memcpy(image.data(), "QAVZPK01", 8);
    image[8] = 1;
    std::memcpy(&image[12], bad, std::strlen(bad));
    uint32_t offset = 52, size = 1;
    std::memcpy(&image[44], &offset, 4);
    std::memcpy(&image[48], &size, 4);
    test::WriteFile("bad.bin", image);
    EXPECT_EQ(Tool({"unpack", "bad.bin", "out"}), 1) << bad;
  }
  EXPECT_FALSE(std::filesystem::exists("evil"));
  test::WriteFile("junk.bin", "not an archive");
  EXPECT_EQ(Tool({"unpack", "junk.bin"}), 1);
}

TEST_F(ArchiveTools, CompressAndExpandRoundTrip) {
  std::mt19937 rng(5);
  std::string data;
  for (int i = 0; i < 100000; ++i) data += char('a' + rng() % 4);
  test::WriteFile("in.dat", data);
  ASSERT_EQ(Tool({"compress", "in.dat", "in.qav"}), 0);
  EXPECT_LT(test::ReadFile("in.qav").size(), data.size() / 2);
  EXPECT_EQ(Load("in.qav"), data) << "the runtime expands what the tool writes";
  ASSERT_EQ(Tool({"expand", "in.qav", "back.dat"}), 0);
  std::vector<uint8_t> back = test::ReadFile("back.dat");
  EXPECT_EQ(std::string(back.begin(), back.end()), data);

  test::WriteFile("empty.dat", "");
  ASSERT_EQ(Tool({"compress", "empty.dat", "empty.qav"}), 0);
  EXPECT_EQ(test::ReadFile("empty.qav").size(), 8u);
  ASSERT_EQ(Tool({"expand", "empty.qav", "empty.out"}), 0);
  EXPECT_TRUE(test::ReadFile("empty.out").empty());
  EXPECT_EQ(Tool({"expand", "in.dat", "x.out"}), 1) << "not a compressed file";
  EXPECT_EQ(Tool({"compress", "missing", "x.out"}), 1);
}

}  // namespace
}  // namespace qavz
