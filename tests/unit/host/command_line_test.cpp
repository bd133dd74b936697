#include "host/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/config.h"
#include "tests/support/temp_files.h"

namespace qavz {
namespace {

using test::TempDir;
using test::WriteFile;

CommandLine Parse(std::vector<const char*> args, const std::string& startedAs = "/usr/bin/qavz") {
  args.insert(args.begin(), "qavz");
  return ParseCommandLine(int(args.size()), args.data(), startedAs);
}

TEST(TitlePaths, DeriveFromTheExecutablePath) {
  TitlePaths p = DerivePaths("/games/shooter/GAME.EXE");
  EXPECT_EQ(p.executable, "/games/shooter/GAME.EXE");
  EXPECT_EQ(p.baseDir, "/games/shooter/");
  EXPECT_EQ(p.name, "GAME");
  EXPECT_EQ(p.extension, ".EXE");
  EXPECT_EQ(p.configFile, "/games/shooter/GAME.cfg");
  EXPECT_EQ(p.mainScript, "");
}

TEST(TitlePaths, NameKeepsInnerDotsAndRelativePathsBecomeAbsolute) {
  TitlePaths p = DerivePaths("a/../my.game.v2.exe");
  EXPECT_EQ(p.name, "my.game.v2");
  EXPECT_EQ(p.extension, ".exe");
  EXPECT_EQ(p.baseDir, std::filesystem::current_path().string() + "/");
}

TEST(TitlePaths, ConfigurationFileIsFoundInAnyLetterCase) {
  TempDir dir;
  WriteFile(dir / "game.CFG", "[General]\n");
  EXPECT_EQ(DerivePaths(dir / "GAME.EXE").configFile, dir / "game.CFG");
}

TEST(CommandLine, TitleByExecutableConfigurationOrFolder) {
  TempDir dir;
  WriteFile(dir / "t/GAME.cfg", "");
  WriteFile(dir / "u/Other.Cfg", "");
  WriteFile(dir / "u/other.EXE", "");
  EXPECT_EQ(Parse({(dir / "t/GAME.EXE").c_str()}).title, dir / "t/GAME.EXE");
  EXPECT_EQ(Parse({(dir / "t/GAME.cfg").c_str()}).title, dir / "t/GAME.exe");
  EXPECT_EQ(Parse({(dir / "t").c_str()}).title, dir / "t/GAME.exe");
  EXPECT_EQ(Parse({(dir / "u").c_str()}).title, dir / "u/other.EXE") << "the executable as it is spelt";
  EXPECT_EQ(Parse({(dir / "t").c_str()}).command, Command::kTitle);
}

TEST(CommandLine, AFolderNeedsExactlyOneConfiguration) {
  TempDir dir;
  WriteFile(dir / "two/A.cfg", "");
  WriteFile(dir / "two/B.cfg", "");
  std::filesystem::create_directories(dir / "none");
  for (const char* sub : {"two", "none"}) {
    CommandLine line = Parse({(dir / sub).c_str()});
    EXPECT_EQ(line.command, Command::kUsage) << sub;
    EXPECT_NE(line.error, "") << sub;
  }
}

TEST(CommandLine, StartedUnderATitlesNameWithoutArguments) {
  EXPECT_EQ(Parse({}, "/games/GAME.exe").command, Command::kTitle);
  EXPECT_EQ(Parse({}, "/games/GAME.exe").title, "/games/GAME.exe");
  CommandLine bare = Parse({}, "/usr/bin/qavz");
  EXPECT_EQ(bare.command, Command::kUsage);
  EXPECT_EQ(bare.error, "");
}

TEST(CommandLine, RunTakesItsOptionsInAnyOrder) {
  CommandLine line = Parse({"run", "--timeout", "250", "--result", "x.c", "--headless", "--config", "g.cfg"});
  EXPECT_EQ(line.command, Command::kRun);
  EXPECT_EQ(line.script, "x.c");
  EXPECT_EQ(line.timeoutMs, 250);
  EXPECT_TRUE(line.headless);
  EXPECT_TRUE(line.printResult);
  EXPECT_EQ(line.configFile, "g.cfg");
}

TEST(CommandLine, MistakesGiveUsage) {
  for (auto args : std::vector<std::vector<const char*>>{{"run"},
                                                         {"run", "--timeout", "soon", "x.c"},
                                                         {"run", "--bogus", "x.c"},
                                                         {"run", "a.c", "b.c"},
                                                         {"run", "x.c", "--timeout"},
                                                         {"check", "--echo", "x.c"},
                                                         {"check"},
                                                         {"--nope"},
                                                         {"noextension"},
                                                         {"/no/such/folder/GAME.EXE"}}) {
    EXPECT_EQ(Parse(args).command, Command::kUsage) << args.back();
  }
  EXPECT_EQ(Parse({"--help"}).command, Command::kHelp);
  EXPECT_EQ(Parse({"--version"}).command, Command::kVersion);
  EXPECT_TRUE(Parse({"listing", "--echo", "x.c"}).echo);
}

}  // namespace
}  // namespace qavz

namespace qavz {
namespace {

TEST(CommandLine, MessagesFormTakesGnuOrClassicInEitherSpelling) {
  EXPECT_EQ(Parse({"check", "--messages=gnu", "x.c"}).messages, "gnu");
  EXPECT_EQ(Parse({"run", "--messages", "classic", "x.c"}).messages, "classic");
  EXPECT_EQ(Parse({"listing", "x.c", "--messages=gnu"}).messages, "gnu");
  EXPECT_EQ(Parse({"check", "--messages=emacs", "x.c"}).command, Command::kUsage);
  EXPECT_EQ(Parse({"check", "x.c"}).messages, "");
}

struct FormCase {
  const char* option;
  bool terminal;
  const char *lcAll, *lcMessages, *lang;
  bool gnu;
};

class MessageFormChoice : public ::testing::TestWithParam<FormCase> {};

TEST_P(MessageFormChoice, OptionFirstThenTerminalAndLocale) {
  const FormCase& c = GetParam();
  EXPECT_EQ(WantGnuMessages(c.option, c.terminal, c.lcAll, c.lcMessages, c.lang), c.gnu);
}

INSTANTIATE_TEST_SUITE_P(CommandLine, MessageFormChoice,
                         ::testing::Values(FormCase{"", true, nullptr, nullptr, "en_GB.UTF-8", true},
                                           FormCase{"", false, nullptr, nullptr, "en_GB.UTF-8", false},
                                           FormCase{"", true, nullptr, nullptr, "ja_JP.UTF-8", false},
                                           FormCase{"", true, "C.UTF-8", nullptr, "ja_JP.UTF-8", true},
                                           FormCase{"", true, "", "ja_JP.eucJP", "en_US", false},
                                           FormCase{"", true, nullptr, nullptr, nullptr, true},
                                           FormCase{"gnu", false, nullptr, nullptr, "ja_JP.UTF-8", true},
                                           FormCase{"classic", true, nullptr, nullptr, "C", false}));

}  // namespace
}  // namespace qavz
