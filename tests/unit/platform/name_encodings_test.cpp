// A name in a script finds its file whatever encoding the name has on disk:
// exact first, then another letter case, then the other encoding.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/path_map.h"
#include "platform/text_encoding.h"

namespace qavz::platform {
namespace {

namespace fs = std::filesystem;

// "セーブ" and "表" (whose second Shift-JIS byte is a backslash).
const std::string kSaveSjis = "\x83\x5A\x81\x5B\x83\x75";
const std::string kSaveUtf8 = "\xE3\x82\xBB\xE3\x83\xBC\xE3\x83\x96";
const std::string kTableSjis = "\x95\x5C";
const std::string kTableUtf8 = "\xE8\xA1\xA8";

struct Case {
  const char* name;
  std::string onDisk;  // relative path created
  std::string asked;   // the script's name
  PathMatch match;
};

class NameEncodings : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qavz-names-XXXXXX").string();
    root = mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(root); }
  void Touch(const std::string& relative) {
    fs::create_directories(fs::path(root + "/" + relative).parent_path());
    std::ofstream(root + "/" + relative) << "x";
  }
  std::string root;
};

TEST_P(NameEncodings, FindsTheFileAndSaysHow) {
  Touch(GetParam().onDisk);
  PathMatch match;
  EXPECT_EQ(MapPath(root + "/" + GetParam().asked, match), root + "/" + GetParam().onDisk);
  EXPECT_EQ(match, GetParam().match);
}

INSTANTIATE_TEST_SUITE_P(
    PathMap, NameEncodings,
    ::testing::Values(
        Case{"SjisExact", kSaveSjis + ".dat", kSaveSjis + ".dat", PathMatch::kExact},
        Case{"SjisFindsUtf8", kSaveUtf8 + ".dat", kSaveSjis + ".dat", PathMatch::kEncoding},
        Case{"Utf8FindsSjis", kSaveSjis + ".dat", kSaveUtf8 + ".dat", PathMatch::kEncoding},
        Case{"Utf8Exact", kSaveUtf8 + ".dat", kSaveUtf8 + ".dat", PathMatch::kExact},
        Case{"CaseAndEncoding", kSaveUtf8 + ".DAT", kSaveSjis + ".dat", PathMatch::kEncoding},
        Case{"CaseOnly", "Save.Dat", "save.dat", PathMatch::kCase},
        Case{"FolderInUtf8", kTableUtf8 + "/a.bmp", kTableSjis + "\\a.bmp", PathMatch::kEncoding},
        Case{"FolderInSjis", kTableSjis + "/a.bmp", kTableUtf8 + "\\a.bmp", PathMatch::kEncoding}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST_F(NameEncodings, ALetterCaseMatchBeatsAnEncodingMatch) {
  Touch(kSaveUtf8 + ".dat");
  Touch(kSaveSjis + ".DAT");
  PathMatch match;
  EXPECT_EQ(MapPath(root + "/" + kSaveSjis + ".dat", match), root + "/" + kSaveSjis + ".DAT");
  EXPECT_EQ(match, PathMatch::kCase);
}

TEST_F(NameEncodings, MissingFilesKeepTheirSpelling) {
  PathMatch match;
  EXPECT_EQ(MapPath(root + "/" + kSaveSjis + ".dat", match), root + "/" + kSaveSjis + ".dat");
  EXPECT_EQ(match, PathMatch::kMissing);
}

TEST(TextEncoding, ToShiftJisExactlyRoundTripsAndRefusesWhatCp932Lacks) {
  EXPECT_EQ(ToShiftJisExactly(kSaveUtf8), kSaveSjis);
  EXPECT_EQ(ToShiftJisExactly(kTableUtf8), kTableSjis);
  EXPECT_EQ(ToShiftJisExactly("plain"), "plain");
  EXPECT_EQ(ToShiftJisExactly("\xF0\x9F\x98\x80"), "") << "an emoji has no code page 932 code";
  EXPECT_EQ(ToShiftJisExactly(kSaveSjis), "") << "not UTF-8";
}

}  // namespace
}  // namespace qavz::platform
