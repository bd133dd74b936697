// qavz bundle: a folder with the runtime, its libraries, the title, its
// fonts, a launcher that runs it and a desktop entry.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_qavz.h"

namespace qavz::test {
namespace {

namespace fs = std::filesystem;

TEST(Bundle, MakesAFolderThatRunsTheTitle) {
  TempDir dir;
  std::string title = dir / "src";
  WriteFile(title + "/GAME.cfg", "[General]\nTitle=Bundled\n");
  WriteFile(title + "/GAME/natives.h", NativesHeader());
  // "ＭＳ 明朝" named in Shift-JIS: a second face beside the default one.
  WriteFile(title + "/GAME/GAME.c",
            "#include \"natives.h\"\nchar *face = \"\x82\x6c\x82\x72 \x96\xbe\x92\xa9\";\n"
            "int main()\n{\n\tlog_out(\"bundled run\");\n\treturn 0;\n}\n");
  std::string out = dir / "out";
  QavzRun made = RunQavz(dir.path(), "bundle src out");
  ASSERT_EQ(made.status, 0) << made.err;

  EXPECT_TRUE(fs::exists(out + "/bin/qavz"));
  std::string config = ReadFile(out + "/title/GAME.cfg");
  EXPECT_NE(config.find("Font.ＭＳ ゴシック=fonts\\"), std::string::npos) << config;
  EXPECT_NE(config.find("Font.ＭＳ 明朝=fonts\\"), std::string::npos) << config;
  int fonts = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(out + "/title/fonts"))
    fonts += e.is_regular_file();
  EXPECT_GE(fonts, 1);
  EXPECT_FALSE(fs::exists(out + "/lib/libc.so.6")) << "the C library stays the machine's own";

  // The runtime finds its libraries in the bundle first.
  std::string sdl =
      "sh -c 'LD_LIBRARY_PATH=" + out + "/lib ldd " + out + "/bin/qavz' | grep -c '" + out + "/lib/libSDL2'";
  EXPECT_EQ(std::system((sdl + " >/dev/null").c_str()), 0) << "libSDL2 from the bundle";

  std::string log = dir / "run.log";
  EXPECT_EQ(std::system(("QAVZ_HEADLESS=1 '" + out + "/run.sh' >'" + log + "' 2>&1").c_str()), 0)
      << ReadFile(log);
  EXPECT_EQ(ReadFile(log), "bundled run\n");
  std::string desktop = ReadFile(out + "/GAME.desktop");
  EXPECT_NE(desktop.find("Name=Bundled\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("Exec=\"" + out + "/run.sh\"\n"), std::string::npos) << desktop;
}

TEST(Bundle, RefusesAFolderThatIsNotEmptyOrInsideTheTitle) {
  TempDir dir;
  WriteFile(dir / "src/GAME.cfg", "[General]\n");
  WriteFile(dir / "busy/file", "x");
  EXPECT_EQ(RunQavz(dir.path(), "bundle src busy").status, 1);
  EXPECT_EQ(RunQavz(dir.path(), "bundle src src/out").status, 1);
  EXPECT_FALSE(fs::exists(dir / "src/out"));
}

}  // namespace
}  // namespace qavz::test
