#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "files/exp_file.h"
#include "files/lzw.h"
#include "files/pack_archive.h"
#include "files_test_support.h"

namespace qavz {
namespace {

using test::FilesTest;

struct Entry {
  std::string name;
  std::string data;
};

// An archive image with the entries in the order given (the caller sorts).
std::vector<uint8_t> Archive(const std::vector<Entry>& entries, const char* magic = "QAVZPK01") {
  std::vector<uint8_t> out(12 + 40 * entries.size(), 0);
  std::memcpy(out.data(), magic, 8);
  int32_t n = int32_t(entries.size());
  std::memcpy(&out[8], &n, 4);
  for (size_t i = 0; i < entries.size(); ++i) {
    uint8_t* e = &out[12 + 40 * i];
    std::memcpy(e, entries[i].name.data(), std::min<size_t>(entries[i].name.size(), 32));
    uint32_t offset = uint32_t(out.size()), size = uint32_t(entries[i].data.size());
    std::memcpy(e + 32, &offset, 4);
    std::memcpy(e + 36, &size, 4);
    e = nullptr;
    out.insert(out.end(), entries[i].data.begin(), entries[i].data.end());
  }
  return out;
}

std::vector<Entry> Sorted(std::vector<Entry> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return PackNameCompare(a.name, b.name) < 0; });
  return entries;
}

std::string Load(const char* path) {
  std::vector<uint8_t> bytes;
  if (!LoadExpFile(path, bytes)) return "<none>";
  return std::string(bytes.begin(), bytes.end());
}

class PackLookupTest : public FilesTest {};

TEST_F(PackLookupTest, PlainFileBesideTheArchiveWins) {
  test::WriteFile("data.bin", Archive({{"a.txt", "member"}}));
  test::WriteFile("data/a.txt", "plain");
  EXPECT_EQ(Load("data\\a.txt"), "plain");
  std::filesystem::remove("data/a.txt");
  EXPECT_EQ(Load("data\\a.txt"), "member");
}

TEST_F(PackLookupTest, InnermostArchiveDecidesEvenWhenItLacksTheMember) {
  test::WriteFile("data.bin", Archive(Sorted({{"bg\\title.bmp", "outer"}, {"x", "1"}})));
  EXPECT_EQ(Load("data\\bg\\title.bmp"), "outer");
  EXPECT_EQ(Load("data/bg/title.bmp"), "outer") << "slashes name the same member";
  test::WriteFile("data/bg.bin", Archive({{"other.bmp", "inner"}}));
  test::Messages().clear();
  EXPECT_EQ(Load("data\\bg\\title.bmp"), "<none>");
  EXPECT_EQ(LastMessage(), "ファイルが見つかりません。FILE - data\\bg\\title.bmp");
  EXPECT_EQ(Load("data\\bg\\OTHER.BMP"), "inner");
}

TEST_F(PackLookupTest, MissingEverywhereAndNoSeparator) {
  EXPECT_EQ(Load("nothing\\here.txt"), "<none>");
  EXPECT_EQ(LastMessage(), "ファイルのオープンに失敗しました。FILE - nothing\\here.txt");
  test::WriteFile(".bin", Archive({{"x", "1"}}));
  test::WriteFile("x.bin", Archive({{"x", "1"}}));
  EXPECT_EQ(Load("x"), "<none>") << "a path without separator is never an archive member";
}

TEST_F(PackLookupTest, NamesMatchInAnyCase) {
  test::WriteFile("pk.bin", Archive(Sorted({{"title.bmp", "T"}, {"Sub\\Deep.wav", "D"}})));
  EXPECT_EQ(Load("pk\\TITLE.BMP"), "T");
  EXPECT_EQ(Load("PK\\sub\\deep.WAV"), "D");
}

struct BadArchive {
  const char* name;
  std::vector<uint8_t> image;
  const char* message;
};

class BrokenArchive : public FilesTest, public ::testing::WithParamInterface<BadArchive> {};

TEST_P(BrokenArchive, FailsWithItsMessage) {
  test::WriteFile("arc.bin", GetParam().image);
  EXPECT_EQ(OpenExpFile("arc\\m.txt"), nullptr);
  EXPECT_EQ(LastMessage(), std::string(GetParam().message) + "arc\\m.txt");
}

std::vector<uint8_t> WithCount(std::vector<uint8_t> image, int32_t n) {
  std::memcpy(&image[8], &n, 4);
  return image;
}

std::vector<uint8_t> WithOffset(std::vector<uint8_t> image, uint32_t offset, uint32_t size) {
  std::memcpy(&image[12 + 32], &offset, 4);
  std::memcpy(&image[12 + 36], &size, 4);
  return image;
}

std::vector<uint8_t> Unterminated() {
  std::vector<uint8_t> image = Archive({{"m.txt", "x"}});
  std::memset(&image[12], 'm', 32);
  return image;
}

const char kRead[] = "ファイルの読み込み失敗しました。FILE - ";
const char kNotFound[] = "ファイルが見つかりません。FILE - ";

INSTANTIATE_TEST_SUITE_P(
    Images, BrokenArchive,
    ::testing::Values(BadArchive{"WrongMagic", Archive({{"m.txt", "x"}}, "QAVZPK02"), kRead},
                      BadArchive{"Empty", Archive({}), kNotFound},
                      BadArchive{"ShortHeader", {'Q', 'A', 'V', 'Z', 'P', 'K', '0', '1', 1}, kRead},
                      BadArchive{"NegativeCount", WithCount(Archive({{"m.txt", "x"}}), -1), kRead},
                      BadArchive{"HugeCount", WithCount(Archive({{"m.txt", "x"}}), 0x7FFFFFFF), kRead},
                      BadArchive{"DataPastTheEnd", WithOffset(Archive({{"m.txt", "x"}}), 52, 2), kRead},
                      BadArchive{"OffsetPastTheEnd", WithOffset(Archive({{"m.txt", "x"}}), 0xFFFFFFF0u, 1),
                                 kRead},
                      BadArchive{"NameWithoutTerminator", Unterminated(), kRead}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackLookupTest, MemberSeeksStayInsideTheMember) {
  test::WriteFile("a.bin", Archive({{"one", "0123456789"}, {"two", "ABCDEFGHIJ"}}));
  ExpFilePtr f(OpenExpFile("a\\one"));
  ASSERT_TRUE(f);
  EXPECT_EQ(ExpFileSize(f.get()), 10);
  EXPECT_EQ(SeekExpFile(f.get(), 10, 0), 10) << "exactly the size";
  EXPECT_EQ(SeekExpFile(f.get(), 11, 0), -1);
  EXPECT_EQ(SeekExpFile(f.get(), 1, 2), -1) << "forward from the end";
  EXPECT_EQ(SeekExpFile(f.get(), -11, 2), -1);
  EXPECT_EQ(SeekExpFile(f.get(), -4, 2), 6);
  EXPECT_EQ(SeekExpFile(f.get(), 5, 1), -1) << "refused, position kept";
  EXPECT_EQ(SeekExpFile(f.get(), -6, 1), 0);
  EXPECT_EQ(SeekExpFile(f.get(), -1, 1), -1);
  EXPECT_EQ(SeekExpFile(f.get(), 3, 9), -1) << "unknown origin";
  EXPECT_EQ(SeekExpFile(f.get(), 7, 0), 7);
  char buf[16] = {};
  uint32_t got = 0;
  EXPECT_TRUE(ReadExpFile(f.get(), buf, 16, &got));
  EXPECT_EQ(std::string(buf, got), "789") << "a read stops at the member's end";
}

TEST_F(PackLookupTest, CompressedMemberIsExpanded) {
  std::string text(5000, 'z');
  std::vector<uint8_t> packed;
  ASSERT_TRUE(CompressToMemory(reinterpret_cast<const uint8_t*>(text.data()), 5000, packed));
  test::WriteFile("c.bin", Archive({{"z.txt", std::string(packed.begin(), packed.end())}}));
  EXPECT_EQ(Load("c\\z.txt"), text);
}

// Names sorted the builders' way put symbols before digits before letters,
// which plain ASCII order does not; both must be found, in O(log N) for the
// first and by the fallback scan for anything else.
TEST(PackNameOrder, SymbolsBeforeDigitsBeforeLettersWithoutCase) {
  std::vector<std::string> ordered = {"_a", "~b", "+c", "1", "9z", "a", "A_b", "ab", "B", "bg\\x"};
  for (size_t i = 0; i + 1 < ordered.size(); ++i) {
    EXPECT_LT(PackNameCompare(ordered[i], ordered[i + 1]), 0) << ordered[i] << " " << ordered[i + 1];
    EXPECT_GT(PackNameCompare(ordered[i + 1], ordered[i]), 0);
  }
  EXPECT_EQ(PackNameCompare("Title.BMP", "title.bmp"), 0);
  EXPECT_LT(PackNameCompare("coop", "co-op"), 0);
  EXPECT_LT(PackNameCompare("co-op", "cop"), 0) << "hyphens weigh only on ties";
}

TEST_F(PackLookupTest, EveryMemberIsFoundWhateverTheArchiveOrder) {
  std::vector<Entry> entries;
  for (const char* n : {"_a", "~b", "+c", "1", "9z", "a", "A_b", "ab", "B", "bg\\x", "co-op", "zz"})
    entries.push_back({n, std::string("data of ") + n});
  std::vector<Entry> ascii = entries;
  std::sort(ascii.begin(), ascii.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  for (const auto& order : {Sorted(entries), ascii}) {
    test::WriteFile("o.bin", Archive(order));
    for (const Entry& e : entries) EXPECT_EQ(Load(("o\\" + e.name).c_str()), e.data) << e.name;
  }
}

TEST_F(PackLookupTest, FastFileSizesAndNullArguments) {
  test::WriteFile("plain.txt", "12345");
  FastFile* f = OpenFastFile("plain.txt");
  ASSERT_TRUE(f);
  EXPECT_EQ(FastFileSize(f), 5);
  EXPECT_EQ(SeekFastFile(f, 2, 0), 2);
  EXPECT_EQ(SeekFastFile(f, -1, 0), -1);
  EXPECT_EQ(CloseFastFile(f), 1);
  EXPECT_EQ(CloseFastFile(nullptr), 0);
  EXPECT_EQ(FastFileSize(nullptr), -1);
  EXPECT_EQ(CloseExpFile(nullptr), 0);
  EXPECT_EQ(ExpFileSize(nullptr), -1);
  EXPECT_EQ(SeekExpFile(nullptr, 0, 0), -1);
  EXPECT_FALSE(ReadExpFile(nullptr, &f, 1));
  std::filesystem::create_directory("adir");
  EXPECT_EQ(OpenFastFile("adir"), nullptr) << "a directory is not a data file";
}

}  // namespace
}  // namespace qavz
