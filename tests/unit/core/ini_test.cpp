#include "core/ini.h"

#include <gtest/gtest.h>

#include "tests/support/temp_files.h"

namespace qavz {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class Ini : public testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    WriteFile(file, bytes);
    return file;
  }
  TempDir dir;
  std::string file = dir / "s.ini";
};

TEST_F(Ini, NamesCompareWithoutCaseAndValuesAreTrimmed) {
  Write("[SaVe]\r\n  Name  =  Taro Yamada \t\r\nLEVEL=3\r\n");
  EXPECT_EQ(IniGetString(file, "save", "name", "x"), "Taro Yamada");
  EXPECT_EQ(IniGetInt(file, "SAVE", "level", 0), 3);
}

TEST_F(Ini, AbsentKeySectionOrFileGivesTheDefault) {
  Write("[A]\nx=1\n[B]\ny=2\n");
  EXPECT_EQ(IniGetInt(file, "A", "y", 7), 7) << "keys belong to their own section";
  EXPECT_EQ(IniGetInt(file, "C", "x", 8), 8);
  EXPECT_EQ(IniGetString(dir / "none.ini", "A", "x", "d"), "d");
  std::string value = "unchanged";
  EXPECT_FALSE(IniRead(file, "B", "x", value));
  EXPECT_EQ(value, "unchanged");
}

TEST_F(Ini, EmptyValueIsAStringButNotANumber) {
  Write("[A]\ns=\n");
  EXPECT_EQ(IniGetString(file, "A", "s", "d"), "");
  EXPECT_EQ(IniGetInt(file, "A", "s", 5), 5);
}

struct IntCase {
  const char* text;
  int32_t expected;
};
void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class IniInteger : public testing::TestWithParam<IntCase> {};

// Like the platform's profile-integer call: sign, leading digits, the rest ignored.
TEST_P(IniInteger, ReadsSignAndLeadingDigits) {
  TempDir dir;
  WriteFile(dir / "i.ini", std::string("[A]\nk=") + GetParam().text + "\n");
  EXPECT_EQ(IniGetInt(dir / "i.ini", "A", "k", 99), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, IniInteger,
                         testing::Values(IntCase{"42", 42}, IntCase{"-17", -17}, IntCase{"+5", 5},
                                         IntCase{"12abc", 12}, IntCase{"abc", 0}, IntCase{"-", 0},
                                         IntCase{"0x10", 0}, IntCase{"1 2", 1}, IntCase{"4294967295", -1},
                                         IntCase{"2147483648", INT32_MIN}));

TEST_F(Ini, QuotedValuesLoseTheirQuotes) {
  Write("[A]\nq=\"  spaced  \"\nh='x'\nodd=\"x\n");
  EXPECT_EQ(IniGetString(file, "A", "q", ""), "  spaced  ");
  EXPECT_EQ(IniGetString(file, "A", "h", ""), "x");
  EXPECT_EQ(IniGetString(file, "A", "odd", ""), "\"x");
}

TEST_F(Ini, FirstOfRepeatedKeysAndCommentsAreSkipped) {
  Write("[A]\n;k=0\nk=1\nk=2\n");
  EXPECT_EQ(IniGetInt(file, "A", "k", 9), 1);
}

TEST_F(Ini, WritingReplacesOnlyTheValueAndKeepsEveryOtherByte) {
  std::string before = "; header\r\n[General]\r\nWidth = 320\r\nTitle=Game\r\n\r\n[Other]\r\nWidth=1\r\n";
  Write(before);
  ASSERT_TRUE(IniWriteString(file, "general", "WIDTH", "640"));
  EXPECT_EQ(ReadFile(file),
            "; header\r\n[General]\r\nWidth = 640\r\nTitle=Game\r\n\r\n[Other]\r\nWidth=1\r\n");
}

TEST_F(Ini, AKeyMissingFromItsSectionGoesAfterTheSectionsLastLine) {
  Write("[A]\nx=1\n\n[B]\ny=2");
  ASSERT_TRUE(IniWriteString(file, "A", "z", "3"));
  ASSERT_TRUE(IniWriteString(file, "B", "w", "4"));
  EXPECT_EQ(ReadFile(file), "[A]\nx=1\nz=3\n\n[B]\ny=2\nw=4\n");
  EXPECT_EQ(IniGetInt(file, "A", "z", 0), 3);
}

TEST_F(Ini, AMissingSectionOrFileIsCreated) {
  Write("[A]\r\nx=1\r\n");
  ASSERT_TRUE(IniWriteString(file, "New", "k", "v"));
  EXPECT_EQ(ReadFile(file), "[A]\r\nx=1\r\n[New]\r\nk=v\r\n");
  std::string fresh = dir / "fresh.ini";
  ASSERT_TRUE(IniWriteString(fresh, "General", "FullScreen", "0"));
  EXPECT_EQ(ReadFile(fresh), "[General]\r\nFullScreen=0\r\n");
}

TEST_F(Ini, WritingLeavesNoTemporaryFileAndFailsCleanlyWhereItCannotWrite) {
  Write("[A]\nx=1\n");
  ASSERT_TRUE(IniWriteString(file, "A", "x", "2"));
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1);
  EXPECT_FALSE(IniWriteString(dir / "no/such/dir/s.ini", "A", "x", "1"));
}

}  // namespace
}  // namespace qavz
