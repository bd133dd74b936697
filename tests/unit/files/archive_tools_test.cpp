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

// An archive image with the given members, in the order given.
std::vector<uint8_t> Archive(const std::vector<std::pair<std::string, std::string>>& members) {
  std::vector<uint8_t> image(12 + 40 * members.size(), 0);
  std::memcpy(image.data(), "QAVZPK01", 8);
  image[8] = uint8_t(members.size());
  for (size_t i = 0; i < members.size(); ++i) {
    uint32_t offset = uint32_t(image.size()), size = uint32_t(members[i].second.size());
    std::memcpy(&image[12 + 40 * i], members[i].first.data(), members[i].first.size());
    std::memcpy(&image[12 + 40 * i + 32], &offset, 4);
    std::memcpy(&image[12 + 40 * i + 36], &size, 4);
    image.insert(image.end(), members[i].second.begin(), members[i].second.end());
  }
  return image;
}

std::string Text(const std::filesystem::path& path) {
  std::vector<uint8_t> bytes = test::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> MemberNames(const char* archive) {
  std::vector<uint8_t> image = test::ReadFile(archive);
  int32_t count = 0;
  std::vector<std::string> names;
  if (!ReadPackHeader(image.data(), image.size(), count)) return {"<not an archive>"};
  for (int32_t i = 0; i < count; ++i) names.emplace_back(PackEntryName(&image[12 + 40 * i]));
  return names;
}

// Links planted in the output folder are never written through: the member
// is refused with a message, the rest is unpacked, the status is 1.
TEST_F(ArchiveTools, UnpackNeverWritesThroughALink) {
  namespace fs = std::filesystem;
  test::WriteFile("outside/target.txt", "precious");
  test::WriteFile("outside/shared.txt", "shared");
  fs::create_directories("d");
  fs::create_symlink("../outside/target.txt", "d/file.txt");
  fs::create_symlink("../outside", "d/link");
  fs::create_hard_link("outside/shared.txt", "d/hard.txt");
  test::WriteFile("a.bin", Archive({{"file.txt", "EVIL"},
                                    {"hard.txt", "new"},
                                    {"link\\new.txt", "EVIL"},
                                    {"link\\target.txt", "EVIL"},
                                    {"ok\\fine.txt", "fine"}}));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Tool({"unpack", "a.bin", "d"}), 1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Text("outside/target.txt"), "precious");
  EXPECT_FALSE(fs::exists("outside/new.txt"));
  EXPECT_EQ(Text("outside/shared.txt"), "shared") << "a hard link is replaced, not written into";
  EXPECT_EQ(Text("d/hard.txt"), "new");
  EXPECT_EQ(Text("d/ok/fine.txt"), "fine");
  EXPECT_TRUE(fs::is_symlink("d/file.txt"));
  EXPECT_NE(err.find("member file.txt not written: d/file.txt is a symbolic link"), std::string::npos) << err;
  EXPECT_NE(err.find("member link\\new.txt not written: d/link is a symbolic link"), std::string::npos)
      << err;
}

// A 0x5C trail byte of a double-byte character is no separator.
TEST_F(ArchiveTools, ShiftJisNamesKeepTheirTrailBytes) {
  namespace fs = std::filesystem;
  const std::string so = "\x83\x5C";  // ソ
  test::WriteFile("s.bin", Archive({{so + "ft.txt", "1"}, {"sub\\" + so + "\\x.txt", "2"}}));
  ASSERT_EQ(Tool({"unpack", "s.bin", "out"}), 0);
  EXPECT_EQ(Text("out/" + so + "ft.txt"), "1");
  EXPECT_EQ(Text("out/sub/" + so + "/x.txt"), "2");
  EXPECT_FALSE(fs::exists("out/\x83"));
  ASSERT_EQ(Tool({"pack", "out"}), 0);
  EXPECT_EQ(MemberNames("out.bin"), (std::vector<std::string>{"sub\\" + so + "\\x.txt", so + "ft.txt"}));
}

struct LinkCase {
  const char* name;
  bool follow;
  std::vector<std::string> members;  // sorted as stored
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class PackLinks : public test::FilesTest, public testing::WithParamInterface<LinkCase> {};

// Links are skipped with a warning, or followed and stored under their own
// names; a member name is never made from where a link leads.
TEST_P(PackLinks, StoreOnlyNamesBelowTheFolder) {
  namespace fs = std::filesystem;
  test::WriteFile("outside/secret.txt", "secret");
  test::WriteFile("data/a.txt", "A");
  fs::create_symlink((dir_ / "outside/secret.txt").string(), "data/abs.txt");
  fs::create_symlink("a.txt", "data/b.txt");
  fs::create_symlink("../outside", "data/sub");
  fs::create_symlink(".", "data/loop");
  fs::create_symlink("missing", "data/broken");
  testing::internal::CaptureStderr();
  int status = GetParam().follow ? Tool({"pack", "--follow", "data"}) : Tool({"pack", "data"});
  std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(status, 0) << err;
  EXPECT_EQ(MemberNames("data.bin"), GetParam().members);
  EXPECT_NE(err.find("skipping"), std::string::npos);
  fs::rename("data", "moved");
  if (GetParam().follow) {
    EXPECT_EQ(Load("data\\abs.txt"), "secret");
    EXPECT_EQ(Load("data\\b.txt"), "A");
    EXPECT_EQ(Load("data\\sub\\secret.txt"), "secret");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Links, PackLinks,
    testing::Values(LinkCase{"Skipped", false, {"a.txt"}},
                    LinkCase{"Followed", true, {"a.txt", "abs.txt", "b.txt", "sub\\secret.txt"}}),
    [](const testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

// A header that claims more than 13 bytes can stand for is corrupt, and no
// output is written for it.
TEST_F(ArchiveTools, ExpandRefusesAClaimTheStreamCannotMake) {
  const uint8_t huge[13] = {'q', 'a', 'v', 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x30, 0xC0, 0, 0, 0};
  test::WriteFile("huge.qav", std::vector<uint8_t>(huge, huge + 13));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Tool({"expand", "huge.qav", "huge.out"}), 1);
  EXPECT_NE(
      testing::internal::GetCapturedStderr().find("huge.qav is not a compressed file or its data is corrupt"),
      std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("huge.out"));
  // A claim within reach expands, the part the codes leave out as zeros.
  std::vector<uint8_t> short_(huge, huge + 13);
  short_[4] = short_[5] = 0;
  short_[6] = 0x10;
  short_[7] = 0x00;  // 4096 bytes
  test::WriteFile("short.qav", short_);
  ASSERT_EQ(Tool({"expand", "short.qav", "short.out"}), 0);
  std::vector<uint8_t> out = test::ReadFile("short.out");
  ASSERT_EQ(out.size(), 4096u);
  EXPECT_EQ(out[0], 'a');
  EXPECT_EQ(std::count(out.begin(), out.end(), 0), 4095);
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

namespace qavz {
namespace {

struct NamesCase {
  const char* name;
  std::vector<std::string> options;
  std::string onDisk;  // the file unpacked, the folder packed
};
void PrintTo(const NamesCase& c, std::ostream* os) { *os << c.name; }

class ArchiveNames : public test::FilesTest, public testing::WithParamInterface<NamesCase> {};

// "ソフト\表.txt" in the archive is code page 932 (both with 0x5C trail
// bytes); --names utf8 spells it in UTF-8 on disk and back.
const std::string kMemberSjis = "\x83\x5C\x83\x74\x83\x67\\\x95\x5C.txt";

TEST_P(ArchiveNames, UnpackAndPackBackToTheSameMember) {
  test::WriteFile("n.bin", Archive({{kMemberSjis, "7"}}));
  std::vector<std::string> unpack = {"unpack"};
  for (const std::string& o : GetParam().options) unpack.push_back(o);
  unpack.push_back("n.bin");
  unpack.push_back("out");
  ASSERT_EQ(Tool(unpack), 0);
  EXPECT_EQ(Text("out/" + GetParam().onDisk), "7");
  std::vector<std::string> pack = {"pack"};
  for (const std::string& o : GetParam().options) pack.push_back(o);
  pack.push_back("out");
  ASSERT_EQ(Tool(pack), 0);
  EXPECT_EQ(MemberNames("out.bin"), std::vector<std::string>{kMemberSjis});
}

INSTANTIATE_TEST_SUITE_P(
    ArchiveTools, ArchiveNames,
    testing::Values(NamesCase{"Default", {}, "\x83\x5C\x83\x74\x83\x67/\x95\x5C.txt"},
                    NamesCase{"Cp932", {"--names", "cp932"}, "\x83\x5C\x83\x74\x83\x67/\x95\x5C.txt"},
                    NamesCase{"Utf8", {"--names=utf8"}, "ソフト/表.txt"}),
    [](const testing::TestParamInfo<NamesCase>& info) { return std::string(info.param.name); });

TEST_F(ArchiveTools, PackRefusesANameCodePage932CannotSpell) {
  test::WriteFile("e/\xF0\x9F\x98\x80.txt", "x");
  EXPECT_EQ(Tool({"pack", "--names", "utf8", "e"}), 1);
  EXPECT_EQ(Tool({"pack", "--names", "latin1", "e"}), 2);
}

}  // namespace
}  // namespace qavz
