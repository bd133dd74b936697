#include <gtest/gtest.h>

#include <cstring>

#include "core/ini.h"
#include "files/special_folders.h"
#include "files_test_support.h"

namespace qavz {
namespace {

using test::A;
using test::FilesTest;
using test::ScriptMemory;

class DirectoryNatives : public FilesTest {
 protected:
  int32_t Call1(int32_t (*native)(Addr), const std::string& path) { return native(m.Args({A(m.Str(path))})); }
  ScriptMemory m;
};

struct FindRecord {
  uint32_t attributes;
  uint32_t times[6];
  uint32_t sizeHigh, sizeLow, reserved[2];
  char name[260];
  char shortName[14];
  uint8_t pad[2];
};
static_assert(sizeof(FindRecord) == 320);

FindRecord RecordAt(Addr a) {
  FindRecord r;
  std::memcpy(&r, TheArena().Span(a, 320), 320);
  return r;
}

TEST_F(DirectoryNatives, SearchFillsTheFindRecordInNameOrder) {
  test::WriteFile("d/b.bmp", "12345");
  test::WriteFile("d/A.BMP", "1");
  test::WriteFile("d/c.wav", "1");
  test::WriteFile("d/readme", "1");
  Addr record = m.Buffer(320);
  int32_t h = Native_find_first(m.Args({A(m.Str("D\\*.bmp")), A(record)}));
  ASSERT_NE(h, -1);
  EXPECT_STREQ(RecordAt(record).name, "A.BMP");
  EXPECT_EQ(Native_find_next(m.Args({h, A(record)})), 1);
  FindRecord r = RecordAt(record);
  EXPECT_STREQ(r.name, "b.bmp");
  EXPECT_EQ(r.sizeLow, 5u);
  EXPECT_EQ(r.sizeHigh, 0u);
  EXPECT_EQ(r.attributes, 0x20u);
  uint64_t written = uint64_t(r.times[5]) << 32 | r.times[4];
  EXPECT_GT(written, 116444736000000000ull) << "a file time after 1970";
  EXPECT_EQ(Native_find_next(m.Args({h, A(record)})), 0);
  EXPECT_NE(Native_find_close(m.Args({h})), 0);
  EXPECT_EQ(Native_find_close(m.Args({h})), 0);
  EXPECT_EQ(Native_find_next(m.Args({h, A(record)})), 0);

  EXPECT_EQ(Native_find_first(m.Args({A(m.Str("d\\*.mid")), A(record)})), -1);
  EXPECT_EQ(Native_find_first(m.Args({A(m.Str("d\\*.*")), A(m.Tail(100))})), -1)
      << "a record reaching dead memory";
  h = Native_find_first(m.Args({A(m.Str("d\\readme.*")), A(record)}));
  ASSERT_NE(h, -1) << "name.* also matches a name without a dot";
  EXPECT_STREQ(RecordAt(record).name, "readme");
  Native_find_close(m.Args({h}));
  h = Native_find_first(m.Args({A(m.Str("d\\?.BMP")), A(record)}));
  EXPECT_STREQ(RecordAt(record).name, "A.BMP");
  Native_find_close(m.Args({h}));
}

TEST_F(DirectoryNatives, SizeCheckAndAttributesOfFiles) {
  test::WriteFile("f.txt", std::string(70000, 'x'));
  EXPECT_EQ(Call1(Native_file_size, "F.TXT"), 70000);
  EXPECT_EQ(Call1(Native_file_size, "missing.txt"), 0) << "0, not -1";
  EXPECT_EQ(Call1(Native_file_check, "*.txt"), 1);
  EXPECT_EQ(Call1(Native_file_check, "*.png"), 0);
  EXPECT_EQ(Native_file_check(m.Args({0})), 0);
  EXPECT_EQ(Call1(Native_file_getattr, "missing.txt"), -1);
  EXPECT_EQ(Call1(Native_file_getattr, "f.txt"), 0x20);
  std::filesystem::create_directory("sub");
  EXPECT_EQ(Call1(Native_file_getattr, "SUB"), 0x10);
  test::WriteFile(".hidden", "h");
  EXPECT_EQ(Call1(Native_file_getattr, ".hidden"), 0x22);
  EXPECT_NE(Native_file_setattr(m.Args({A(m.Str("f.txt")), 0x01})), 0);
  EXPECT_EQ(Call1(Native_file_getattr, "f.txt"), 0x21);
  EXPECT_EQ(Call1(Native_file_delete, "f.txt"), 0) << "read-only files stay";
  EXPECT_NE(Native_file_setattr(m.Args({A(m.Str("f.txt")), 0x20})), 0);
  EXPECT_NE(Call1(Native_file_delete, "f.txt"), 0);
  EXPECT_EQ(Call1(Native_file_delete, "f.txt"), 0);
}

TEST_F(DirectoryNatives, CurrentDirectoryAndFoldersEndWithABackslash) {
  Addr buf = m.Buffer(260);
  int32_t n = Native_dir_getcur(m.Args({A(buf)}));
  std::string cur = m.StringAt(buf);
  ASSERT_EQ(n, int32_t(cur.size()));
  EXPECT_EQ(cur.back(), '\\');
  EXPECT_EQ(cur, TitleStylePath(dir_.string()) + "\\");
  EXPECT_EQ(Native_dir_getcur(m.Args({0})), 0);

  n = Native_dir_getpath(m.Args({36, A(buf)}));
  std::string windows = m.StringAt(buf);
  EXPECT_EQ(n, int32_t(windows.size()));
  EXPECT_EQ(windows, TitleStylePath(WindowsDirectory()) + "\\");
  EXPECT_GT(Native_dir_getpath(m.Args({37, A(buf)})), n);
  EXPECT_EQ(Native_dir_getpath(m.Args({36, 0})), 0);
  EXPECT_EQ(Native_dir_getpath(m.Args({36, A(m.Tail(4))})), 0) << "does not fit: nothing written";

  // What dir_getpath gives is a path the natives take back.
  test::WriteFile(WindowsDirectory() + "/w.txt", "w");
  EXPECT_EQ(Call1(Native_file_size, windows + "w.txt"), 1);
}

TEST_F(DirectoryNatives, CreateChangeAndDeleteDirectories) {
  EXPECT_NE(Call1(Native_dir_create, "new"), 0);
  EXPECT_EQ(Call1(Native_dir_create, "new"), 0) << "already there";
  test::WriteFile("new/x", "x");
  EXPECT_EQ(Call1(Native_dir_delete, "new"), 0) << "not empty";
  EXPECT_NE(Call1(Native_dir_setcur, "NEW"), 0);
  EXPECT_EQ(std::filesystem::current_path(), dir_ / "new");
  EXPECT_EQ(Call1(Native_dir_delete, "x"), 0) << "a file is not a directory";
  EXPECT_NE(Call1(Native_dir_setcur, ".."), 0);
  EXPECT_NE(Call1(Native_file_delete, "new\\x"), 0);
  EXPECT_NE(Call1(Native_dir_delete, "new"), 0);
  EXPECT_EQ(Call1(Native_dir_setcur, "new"), 0);
}

TEST_F(DirectoryNatives, CopyAndMove) {
  test::WriteFile("a.txt", "A");
  test::WriteFile("b.txt", "B");
  auto copy = [&](const char* from, const char* to, int32_t failIfExists) {
    return Native_file_copy(m.Args({A(m.Str(from)), A(m.Str(to)), failIfExists}));
  };
  EXPECT_EQ(copy("a.txt", "b.txt", 1), 0);
  EXPECT_EQ(test::ReadFile("b.txt"), std::vector<uint8_t>{'B'});
  EXPECT_NE(copy("a.txt", "b.txt", 0), 0);
  EXPECT_EQ(test::ReadFile("b.txt"), std::vector<uint8_t>{'A'});
  EXPECT_NE(copy("A.TXT", "c.txt", 1), 0);
  EXPECT_EQ(copy("none.txt", "d.txt", 0), 0);
  auto move = [&](const char* from, const char* to) {
    return Native_file_move(m.Args({A(m.Str(from)), A(m.Str(to))}));
  };
  EXPECT_EQ(move("a.txt", "b.txt"), 0) << "moving never replaces";
  EXPECT_NE(move("a.txt", "e.txt"), 0);
  EXPECT_FALSE(std::filesystem::exists("a.txt"));
  EXPECT_EQ(test::ReadFile("e.txt"), std::vector<uint8_t>{'A'});
}

TEST_F(DirectoryNatives, FileTimesRoundTripThroughLocalDateRecords) {
  test::WriteFile("t.txt", "t");
  Addr date = m.Buffer(16);
  uint16_t set[8] = {2019, 6, 0, 15, 13, 45, 30, 250};
  std::memcpy(m.Host(date), set, 16);
  EXPECT_EQ(Native_file_settime(m.Args({A(m.Str("t.txt")), 0, 0, A(date)})), 1);
  Addr write = m.Buffer(16), access = m.Buffer(16);
  EXPECT_EQ(Native_file_gettime(m.Args({A(m.Str("t.txt")), 0, A(access), A(write)})), 1);
  uint16_t got[8];
  std::memcpy(got, m.Host(write), 16);
  EXPECT_EQ(got[0], 2019);
  EXPECT_EQ(got[1], 6);
  EXPECT_EQ(got[2], 6) << "15 June 2019 was a Saturday";
  EXPECT_EQ(got[3], 15);
  EXPECT_EQ(got[4], 13);
  EXPECT_EQ(got[5], 45);
  EXPECT_EQ(got[6], 30);
  EXPECT_EQ(got[7], 250);
  EXPECT_EQ(Native_file_gettime(m.Args({A(m.Str("none.txt")), 0, 0, A(write)})), 0);
  EXPECT_EQ(Native_file_settime(m.Args({A(m.Str("none.txt")), 0, 0, A(date)})), 0);
  EXPECT_EQ(Native_file_gettime(m.Args({A(m.Str("t.txt")), A(m.Tail(8)), 0, 0})), 0);
}

class SettingsNatives : public DirectoryNatives {
 protected:
  void SetUp() override {
    DirectoryNatives::SetUp();
    saved_ = ThePaths().configFile;
    ThePaths().configFile = "GAME.cfg";
    test::WriteFile("game.cfg", "[General]\nWidth=320\n");
  }
  void TearDown() override {
    ThePaths().configFile = saved_;
    DirectoryNatives::TearDown();
  }
  std::string saved_;
};

TEST_F(SettingsNatives, ReadAndWriteTheTitlesConfiguration) {
  Addr general = m.Str("General"), width = m.Str("Width"), score = m.Str("Score");
  EXPECT_EQ(Native_ini_geti(m.Args({A(general), A(width), 7})), 320);
  EXPECT_EQ(Native_ini_geti(m.Args({A(general), A(score), 7})), 7);
  EXPECT_NE(Native_ini_seti(m.Args({A(m.Str("Save")), A(score), -42})), 0);
  EXPECT_EQ(Native_ini_geti(m.Args({A(m.Str("save")), A(m.Str("SCORE")), 0})), -42);
  EXPECT_NE(Native_ini_sets(m.Args({A(m.Str("Save")), A(m.Str("Name")), A(m.Str("hero"))})), 0);
  Addr buf = m.Buffer(16, 'x');
  EXPECT_EQ(Native_ini_gets(m.Args({A(m.Str("Save")), A(m.Str("Name")), A(m.Str("?")), A(buf), 16})), 4);
  EXPECT_EQ(m.StringAt(buf), "hero");
  EXPECT_EQ(Native_ini_gets(m.Args({A(m.Str("Save")), A(m.Str("Name")), A(m.Str("?")), A(buf), 3})), 2);
  EXPECT_EQ(m.StringAt(buf), "he") << "truncated to the buffer";
  EXPECT_EQ(Native_ini_gets(m.Args({A(m.Str("Save")), A(m.Str("None")), A(m.Str("dflt")), A(buf), 16})), 4);
  EXPECT_EQ(m.StringAt(buf), "dflt");
  EXPECT_EQ(Native_ini_gets(m.Args({A(general), A(width), 0, A(m.Tail(2)), 16})), 0)
      << "the value does not fit the live buffer";
  std::vector<uint8_t> cfg = test::ReadFile("game.cfg");
  std::string text(cfg.begin(), cfg.end());
  EXPECT_NE(text.find("Width=320"), std::string::npos) << "other lines kept";
}

// Long texts are written and read whole; a text that runs into dead memory
// is refused and leaves the file alone.
TEST_F(SettingsNatives, LongTextsAreWrittenWholeOrNotAtAll) {
  ScriptMemory big(1 << 20);
  std::string value(200000, 'v');
  value[0] = 'A';
  value.back() = 'Z';
  Addr save = big.Str("Save"), name = big.Str("Name");
  EXPECT_NE(Native_ini_sets(big.Args({A(save), A(name), A(big.Str(value))})), 0);
  Addr buf = big.Buffer(300000);
  EXPECT_EQ(Native_ini_gets(big.Args({A(save), A(name), 0, A(buf), 300000})), 200000);
  auto whole = [](Addr a) {
    std::string s;
    EXPECT_TRUE(TheArena().ReadString(a, s, 0xFFFFFFFFu));
    return s;
  };
  EXPECT_EQ(whole(buf), value);
  std::string fallback(100000, 'f');
  EXPECT_EQ(Native_ini_gets(big.Args({A(save), A(big.Str("None")), A(big.Str(fallback)), A(buf), 300000})),
            100000);
  EXPECT_EQ(whole(buf), fallback);

  std::vector<uint8_t> before = test::ReadFile("game.cfg");
  Addr cut = big.Tail(70000);
  std::memset(big.Host(cut), 'c', 70000);
  EXPECT_EQ(Native_ini_sets(big.Args({A(save), A(name), A(cut)})), 0) << "no terminator in live memory";
  EXPECT_EQ(Native_ini_sets(big.Args({A(save), A(cut), A(big.Str("x"))})), 0);
  EXPECT_EQ(test::ReadFile("game.cfg"), before);
}

}  // namespace
}  // namespace qavz
