// A title whose folder cannot be written keeps its saves under the user's
// data directory and finds them there on the next run; nothing is written
// inside its own folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "run_qavz.h"

namespace qavz::test {
namespace {

namespace fs = std::filesystem;

// The first run saves through every writing path a title has; the second
// reads each back.
const char kScript[] = R"(#include "natives.h"
int sys[4];
char buf[16];
char rec[320];
int main()
{
	int f;
	sysfile("save.sys", sys, 16);
	if (sys[0] == 0) {
		sys[0] = 42;
		ini_seti("Game", "Level", 7);
		f = fopen("save\\slot1.dat", "wb");
		fwrite("hello", 1, 6, f);
		fclose(f);
		pack_save("packed.qav", "abc", 4);
		log_out("saved");
	} else {
		f = fopen("save\\SLOT1.DAT", "rb");
		fread(buf, 1, 6, f);
		fclose(f);
		f = pack_open("packed.qav");
		pack_read(f, buf + 8, 4);
		log_out("%d %d %s %s", sys[0], ini_geti("Game", "Level", 0), buf, buf + 8);
		// What the first run made is found, copied, moved and deleted as
		// if it were beside the title.
		f = find_first("save\\*.dat", rec);
		log_out("find %d %s", f >= 0, rec + 44);
		log_out("check %d", file_check("save\\slot1.dat"));
		log_out("copy %d", file_copy("save\\slot1.dat", "save\\slot2.dat", 1));
		log_out("again %d", file_copy("save\\slot1.dat", "save\\slot2.dat", 1));
		log_out("size %d", file_size("save\\slot2.dat"));
		log_out("move %d", file_move("save\\slot2.dat", "save\\slot3.dat"));
		log_out("delete %d", file_delete("save\\slot3.dat"));
		log_out("check %d", file_check("save\\slot3.dat"));
		log_out("dir %d", dir_create("save\\sub"));
		log_out("again %d", dir_create("save\\sub"));
		log_out("check %d", file_check("save\\sub"));
	}
	return 0;
}
)";

std::set<std::string> Listing(const std::string& dir) {
  std::set<std::string> names;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir))
    names.insert(fs::relative(e.path(), dir).string());
  return names;
}

TEST(ReadOnlyInstall, SavesGoToTheDataDirectoryAndComeBackNextRun) {
  TempDir root;
  std::string title = root / "usr/share/games/RO";
  WriteFile(title + "/GAME.cfg", "[General]\nFullScreen=0\n");
  WriteFile(title + "/GAME/GAME.c", kScript);
  WriteFile(title + "/GAME/natives.h", NativesHeader());
  fs::create_directories(title + "/save");
  std::set<std::string> before = Listing(title);
  fs::permissions(title, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  // Root writes anywhere: the switch makes the folder count as read-only too.
  std::string env = "XDG_DATA_HOME='" + root / "data" + "' QAVZ_READ_ONLY=1";

  QavzRun first = RunQavz(root.path(), "'" + title + "/GAME.cfg'", env);
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, "saved\n") << first.err;
  QavzRun second = RunQavz(root.path(), "'" + title + "/GAME.cfg'", env);
  EXPECT_EQ(second.out,
            "42 7 hello abc\nfind 1 slot1.dat\ncheck 1\ncopy 1\nagain 0\nsize 6\nmove 1\ndelete 1\n"
            "check 0\ndir 1\nagain 0\ncheck 1\n")
      << second.err;

  fs::permissions(title, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(Listing(title), before) << "nothing is written inside the title's folder";
  std::string saves = root / "data/qavz/GAME";
  // The title's files are named from its base folder, the current one.
  for (const char* file : {"GAME.cfg", "save.sys", "save/slot1.dat", "packed.qav", "save/sub"})
    EXPECT_TRUE(fs::exists(saves + "/" + file)) << file;
  EXPECT_NE(ReadFile(saves + "/GAME.cfg").find("Level=7"), std::string::npos);
}

TEST(ReadOnlyInstall, AWritableFolderKeepsItsSavesBesideTheTitle) {
  TempDir root;
  std::string title = root / "games/RW";
  WriteFile(title + "/GAME.cfg", "[General]\n");
  WriteFile(title + "/GAME/GAME.c", kScript);
  WriteFile(title + "/GAME/natives.h", NativesHeader());
  fs::create_directories(title + "/save");
  QavzRun first = RunQavz(root.path(), "'" + title + "/GAME.cfg'", "XDG_DATA_HOME='" + root / "data" + "'");
  EXPECT_EQ(first.out, "saved\n") << first.err;
  EXPECT_TRUE(fs::exists(title + "/save/slot1.dat"));
  EXPECT_FALSE(fs::exists(root / "data/qavz/GAME"));
}

}  // namespace
}  // namespace qavz::test
