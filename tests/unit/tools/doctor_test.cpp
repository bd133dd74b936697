// qavz doctor on a title with the troubles it is there to find.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_qavz.h"
#include "tests/unit/sound/sound_test_support.h"

namespace qavz::test {
namespace {

namespace fs = std::filesystem;

const char* const kUnbuilt[] = {
#include "unbuilt_natives.inc"
    nullptr};

// "タイトル.bmp" in Shift-JIS (as the script names it) and UTF-8 (on disk).
const std::string kTitleSjis = "\x83\x5E\x83\x43\x83\x67\x83\x8B.bmp";
const std::string kTitleUtf8 = "タイトル.bmp";

struct DoctorTitle {
  TempDir dir;
  std::string title = dir / "GAME";
  void Write(const std::string& body, const std::string& sub = "") {
    WriteFile(title + "/GAME.cfg", "[General]\n");
    WriteFile(title + "/GAME/natives.h", NativesHeader());
    WriteFile(title + "/GAME/GAME.c", "#include \"natives.h\"\nint main()\n{\n" + body + "\treturn 0;\n}\n");
    if (!sub.empty()) WriteFile(title + "/GAME/sub.c", sub);
  }
  QavzRun Doctor() { return RunQavz(dir.path(), "doctor '" + title + "'"); }
};

TEST(Doctor, AHealthyTitleShouldRun) {
  DoctorTitle t;
  WriteFile(t.title + "/data/bg.bmp", "x");
  t.Write("\tgload(1, \"data\\\\bg.bmp\");\n");
  QavzRun run = t.Doctor();
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("GAME/GAME.c: compiles"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("the title should run"), std::string::npos) << run.out;
}

TEST(Doctor, FindsMissingCaseOnlyAndOtherEncodingFiles) {
  DoctorTitle t;
  WriteFile(t.title + "/data/Bg.BMP", "x");
  WriteFile(t.title + "/" + kTitleUtf8, "x");
  t.Write("\tgload(1, \"data\\\\bg.bmp\");\n\tgload(2, \"" + kTitleSjis +
          "\");\n\tgload(3, \"se\\\\gone.bmp\");\n");
  QavzRun run = t.Doctor();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("\"data\\bg.bmp\" found only in another letter case: data/Bg.BMP"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"タイトル.bmp\" found only under another encoding: タイトル.bmp"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("! GAME/GAME.c:6: \"se\\gone.bmp\" is missing"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1 problem (marked !)"), std::string::npos) << run.out;
}

TEST(Doctor, FollowsCallIntoOtherProgramsAndReportsUnbuiltNatives) {
  if (!kUnbuilt[0]) GTEST_SKIP() << "every native is built";
  DoctorTitle t;
  std::string native = kUnbuilt[0];
  t.Write("\tcall(\"GAME\\\\sub.c\");\n",
          "#include \"natives.h\"\nint main()\n{\n\t" + native + "();\n\treturn 1 +;\n}\n");
  QavzRun run = t.Doctor();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("! GAME\\sub.c: does not compile: GAME\\sub.c(5) : 式の記述に誤りがあります。"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("! " + native + ": not built in this qavz"), std::string::npos) << run.out;
}

TEST(Doctor, ChecksTheSoundFontAndTheCdTrackFiles) {
  DoctorTitle t;
  t.Write("\tcd_play(1, 0);\n\tmidi_play(0);\n");
  WriteFile(t.title + "/GAME.cfg", "[qavz]\nSoundFont=gm.sf2\nCDFolder=cd\n");
  QavzRun run = t.Doctor();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("! MIDI: gm.sf2 is missing"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("! CD audio: no track files in cd"), std::string::npos) << run.out;

  WriteFile(t.title + "/gm.sf2", "x");
  WriteFile(t.title + "/cd/Track01.wav", PcmWave(1, 8000, std::vector<int16_t>(800)));
  run = t.Doctor();
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("MIDI plays with gm.sf2"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("CD audio: 1 of 1 audio tracks playable, in cd"), std::string::npos) << run.out;
}

TEST(Doctor, FilesTheTitleWritesAreNotMissing) {
  DoctorTitle t;
  t.Write("\tint f;\n\tf = fopen(\"save.dat\", \"wb\");\n\tpack_save(\"x.dat\", \"a\", 1);\n");
  QavzRun run = t.Doctor();
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("save.dat"), std::string::npos) << run.out;
}

TEST(Doctor, NamesWhereSavesGo) {
  DoctorTitle t;
  t.Write("");
  QavzRun run = RunQavz(t.dir.path(), "doctor '" + t.title + "/GAME.cfg'",
                        "QAVZ_READ_ONLY=1 XDG_DATA_HOME='" + t.dir / "data" + "'");
  EXPECT_NE(run.out.find("saves go to " + t.dir / "data/qavz/GAME"), std::string::npos) << run.out;
  EXPECT_EQ(RunQavz(t.dir.path(), "doctor '" + t.dir / "nothing" + "'").status, 2);
}

}  // namespace
}  // namespace qavz::test
