#include "core/save_folder.h"

#include <gtest/gtest.h>

#include "tests/support/temp_files.h"

namespace qavz {
namespace {

using test::TempDir;
using test::WriteFile;

struct FolderCase {
  const char* xdg;
  const char* home;
  const char* folder;
};

class SaveFolderName : public ::testing::TestWithParam<FolderCase> {};

// A relative XDG_DATA_HOME is to be ignored, as the base directory rules say.
TEST_P(SaveFolderName, FromXdgDataHomeElseHome) {
  EXPECT_EQ(SaveFolderFor("GAME", GetParam().xdg, GetParam().home), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(SaveFolder, SaveFolderName,
                         ::testing::Values(FolderCase{"/x/data", "/home/u", "/x/data/qavz/GAME"},
                                           FolderCase{nullptr, "/home/u", "/home/u/.local/share/qavz/GAME"},
                                           FolderCase{"", "/home/u", "/home/u/.local/share/qavz/GAME"},
                                           FolderCase{"rel/data", "/home/u",
                                                      "/home/u/.local/share/qavz/GAME"},
                                           FolderCase{nullptr, nullptr, ""}));

class SaveFolderPlaces : public ::testing::Test {
 protected:
  TempDir dir;
  void SetUp() override { SetSaveFolder(dir / "title", dir / "saves"); }
  void TearDown() override { SetSaveFolder("", ""); }
};

TEST_F(SaveFolderPlaces, WritesInTheTitleGoToTheSaveFolder) {
  std::filesystem::create_directories(dir / "title/a");
  EXPECT_EQ(WritePlace(dir / "title/a/b.dat"), dir / "saves/a/b.dat");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "saves/a")) << "folders the title has are made";
  EXPECT_EQ(WritePlace(dir / "title/x/../c.dat"), dir / "saves/c.dat");
  EXPECT_EQ(WritePlace(dir / "title/none/d.dat"), dir / "saves/none/d.dat");
  EXPECT_FALSE(std::filesystem::exists(dir / "saves/none")) << "nor any the title lacks";
}

TEST_F(SaveFolderPlaces, PathsOutsideTheTitleAreLeftAlone) {
  EXPECT_EQ(WritePlace(dir / "other/b.dat"), dir / "other/b.dat");
  EXPECT_EQ(WritePlace(dir / "title/../other.dat"), dir / "title/../other.dat");
  EXPECT_EQ(WritePlace(dir / "title"), dir / "title");
}

TEST_F(SaveFolderPlaces, ReadsTakeTheSavedCopyOnlyWhenThereIsOne) {
  WriteFile(dir / "title/a.dat", "title");
  EXPECT_EQ(ReadPlace(dir / "title/a.dat"), dir / "title/a.dat");
  WriteFile(dir / "saves/A.DAT", "saved");
  EXPECT_EQ(ReadPlace(dir / "title/a.dat"), dir / "saves/A.DAT") << "the copy in any letter case";
}

TEST_F(SaveFolderPlaces, OffRedirectsNothing) {
  SetSaveFolder("", "");
  WriteFile(dir / "saves/a.dat", "saved");
  EXPECT_EQ(WritePlace(dir / "title/a.dat"), dir / "title/a.dat");
  EXPECT_EQ(ReadPlace(dir / "title/a.dat"), dir / "title/a.dat");
}

}  // namespace
}  // namespace qavz
