// Extension libraries from a running title: a library built with the
// shipped header, found beside the title by its Windows name, called with 0,
// 2 and 16 arguments, reading and writing script memory and the information
// block; the failures (missing library, function or too many arguments,
// libraries outside the title, a full table) give their results.
#include <gtest/gtest.h>

#include <filesystem>

#include "include/qavz_extension.h"
#include "system/extensions.h"
#include "title_run.h"

namespace qavz {
namespace {

namespace fs = std::filesystem;

class Extensions : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(QAVZ_TEST_EXTENSION, title.Path("libtestext.so"));
    fs::create_directories(title.Path("outside"));
  }
  test::Title title;
};

TEST_F(Extensions, CallsPassWordsInOrderAndReachScriptMemory) {
  test::TitleRun run = title.Run("Width=320\nHeight=200\nDepth=16\n", R"(
int block[7];
char bytes[4];
int main()
{
	int lib, f, w, m;
	lib = dll_load("testext.dll");
	log_out("load %d", lib);
	log_out("0: %d", dll_call(dll_proc(lib, "answer")));
	log_out("2: %d", dll_call(dll_proc(lib, "subtract"), 10, 3));
	w = dll_proc(lib, "weigh16");
	log_out("16: %d", dll_call(w, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16));
	log_out("17: %d", dll_call(w, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17));
	bytes[0] = 1; bytes[1] = 2; bytes[2] = 3; bytes[3] = 250;
	log_out("sum %d %d", dll_call(dll_proc(lib, "sum_bytes"), bytes, 4), dll_call(dll_proc(lib, "sum_bytes"), 16, 4));
	// Arguments are evaluated from the last: a result read after a call
	// gets a line of its own.
	log_out("poke %d", dll_call(dll_proc(lib, "poke"), block, 77));
	log_out("poked %d", block[0]);
	f = dll_proc(lib, "information");
	log_out("info %d %d %d %d", dll_call(f, 4), dll_call(f, 5), dll_call(f, 6), dll_call(f, 0) != 0);
	log_out("flags %d", dll_call(dll_proc(lib, "flags")));
	m = dll_proc(lib, "message");
	log_out("message %d", dll_call(m, 1214, block));
	log_out("block %d %d", block[4], block[6]);
	block[4] = 5;
	log_out("no block %d", dll_call(m, 1214, 0));
	log_out("block %d", block[4]);
	log_out("version %d", dll_call(dll_proc(lib, "version")));
	log_out("same %d", dll_proc(lib, "answer") == dll_proc(lib, "answer"));
	log_out("missing %d %d %d", dll_proc(lib, "no_such_function"), dll_call(0), dll_call(12345));
	log_out("unload %d", dll_unload(lib));
	log_out("after %d %d", dll_call(w, 1), dll_unload(lib));
	return 0;
}
)");
  EXPECT_EQ(run.status, 0);
  int32_t version = QAVZ_EXTENSION_VERSION * 1000 + int32_t(sizeof(qavz_host));
  EXPECT_EQ(run.lines,
            (std::vector<std::string>{"load 0", "0: 42", "2: 7", "16: 1496", "17: 0", "sum 256 -1", "poke 1",
                                      "poked 77", "info 320 200 16 1", "flags 1", "message 0", "block 320 16",
                                      "no block 0", "block 5", "version " + std::to_string(version), "same 1",
                                      "missing 0 0 0", "unload 1", "after 0 0"}));
}

TEST_F(Extensions, LibrariesComeOnlyFromTheTitleAndTheSystemPath) {
  fs::copy_file(QAVZ_TEST_EXTENSION, title.Path("outside/libfar.so"));
  // Beside the title's folder, not in it.
  fs::copy_file(QAVZ_TEST_EXTENSION, fs::path(title.Dir()).parent_path() /
                                         (fs::path(title.Dir()).filename().string() + "-next.so"));
  title.Write("GAME/sub/.keep", "");
  fs::copy_file(QAVZ_TEST_EXTENSION, title.Path("GAME/sub/Near.so"));
  test::TitleRun run = title.Run("", R"(
int main()
{
	int c;
	log_out("missing %d", dll_load("nothing.dll"));
	log_out("sub %d", dll_load("GAME\\SUB\\near.dll"));
	log_out("libc %d", c = dll_load("libc.so.6"));
	log_out("abs %d", dll_call(dll_proc(c, "abs"), -5));
	log_out("far %d", dll_load("outside\\..\\..\\)" +
                                         fs::path(title.Dir()).filename().string() +
                                         R"(\\outside\\far.dll"));
	log_out("absolute %d", dll_load("/usr/lib/x86_64-linux-gnu/libm.so.6"));
	log_out("next %d", dll_load("..\\)" +
                                         fs::path(title.Dir()).filename().string() + R"(-next.so"));
	log_out("bad %d %d %d", dll_unload(-1), dll_unload(256), dll_proc(300, "x"));
	return 0;
}
)");
  EXPECT_EQ(run.lines, (std::vector<std::string>{"missing -1", "sub 0", "libc 1", "abs 5", "far 2",
                                                 "absolute -1", "next -1", "bad 0 0 0"}));
  fs::remove(fs::path(title.Dir()).parent_path() / (fs::path(title.Dir()).filename().string() + "-next.so"));
}

TEST_F(Extensions, TheTwoHundredFiftySeventhLoadFails) {
  test::TitleRun run = title.Run("", R"(
int main()
{
	int i, n;
	n = 0;
	for (i = 0; i < 256; i++)
		if (dll_load("testext") == i)
			n++;
	log_out("%d %d", n, dll_load("testext"));
	dll_unload(17);
	log_out("%d", dll_load("testext"));
	return 0;
}
)");
  EXPECT_EQ(run.lines, (std::vector<std::string>{"256 -1", "17"}));
}

}  // namespace
}  // namespace qavz
