// qavz doctor TITLE: compiles every program of a title and says, in one
// report, what stands between it and a good run on this machine: natives
// this build lacks, data files that are missing or found only by another
// spelling, fonts, and where saves go. Exit status 0 when the title should
// run, 1 when it should not, 2 for a bad command line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/data_files.h"
#include "core/save_folder.h"
#include "graphics/font_slots.h"
#include "host/native_table.h"
#include "host/tool_commands.h"
#include "platform/file_system.h"
#include "platform/fonts.h"
#include "platform/path_map.h"
#include "platform/process.h"
#include "platform/text_encoding.h"
#include "sound/cd_disc.h"
#include "sound/cd_player.h"
#include "sound/midi_player.h"
#include "tools/commands/source_scan.h"
#include "tools/commands/title_survey.h"

namespace qavz::tools {

namespace {

namespace fs = std::filesystem;

// Natives this build has only as placeholders (generated at configure time
// from the QAVZ_UNBUILT_NATIVE lines of */unbuilt_natives.cpp).
const char* const kUnbuiltNatives[] = {
#include "unbuilt_natives.inc"
    nullptr};

// Where a native takes a file the title reads: the argument's position.
struct FileArgument {
  const char* native;
  int argument;
};
constexpr FileArgument kReadArguments[] = {
    {"jump", 0},      {"call", 0},       {"gload", 1},     {"dload", 3}, {"midi_load", 0},
    {"snd_load", 1},  {"media_open", 0}, {"pack_open", 0}, {"mload", 0}, {"fopen", 0},
    {"file_copy", 0}, {"file_move", 0},  {"file_size", 0},
};

std::string Utf8(const std::string& sjis) { return platform::ToUtf8(sjis); }

bool IsReadArgument(const Literal& literal) {
  for (const FileArgument& a : kReadArguments)
    if (literal.callee == a.native && literal.argument == a.argument)
      // fopen reads only in modes "r" and "r+".
      return literal.callee != "fopen" || (!literal.nextLiteral.empty() && literal.nextLiteral[0] == 'r');
  return false;
}

bool IsUnbuilt(const std::string& name) {
  for (const char* const* n = kUnbuiltNatives; *n; ++n)
    if (name == *n) return true;
  return false;
}

bool IsNative(const std::string& name) {
  for (const NativeEntry& e : kNativeTable)
    if (name == e.name) return true;
  return false;
}

struct Report {
  std::vector<std::string> programs, natives, files, fonts, sound, saves;
  int problems = 0;

  void Add(std::vector<std::string>& section, bool problem, const std::string& line) {
    section.push_back(std::string(problem ? "  ! " : "    ") + line);
    problems += problem;
  }
};

void ReportPrograms(const TitleSurvey& survey, Report& report) {
  for (const CompiledProgram& p : survey.programs) {
    if (p.ok) {
      report.Add(report.programs, false,
                 Utf8(p.path) + ": compiles (" + std::to_string(p.sources) + " sources)");
    } else {
      report.Add(report.programs, true,
                 Utf8(p.path) + ": does not compile: " + p.messages.substr(0, p.messages.find('\n')));
    }
  }
}

void CheckNatives(const TitleSurvey& survey, Report& report) {
  for (const std::string& name : survey.called)
    if (IsNative(name) && IsUnbuilt(name))
      report.Add(report.natives, true, name + ": not built in this qavz");
  if (report.natives.empty()) report.natives.push_back("    every native the title calls is built");
}

// A file the title names: found as written, by letter case, in another
// encoding, inside a pack archive, or not at all. Only a file a native
// reads makes the title fail; other names are noted.
void CheckFile(const std::string& source, const Literal& literal, Report& report) {
  platform::PathMatch match;
  std::string host = platform::MapPath(literal.text, match);
  std::string where = Utf8(source) + ":" + std::to_string(literal.line) + ": \"" + Utf8(literal.text) + "\"";
  bool read = IsReadArgument(literal);
  switch (match) {
    case platform::PathMatch::kExact:
      return;
    case platform::PathMatch::kCase:
      return report.Add(report.files, false, where + " found only in another letter case: " + Utf8(host));
    case platform::PathMatch::kEncoding:
      return report.Add(report.files, false, where + " found only under another encoding: " + Utf8(host));
    case platform::PathMatch::kMissing:
      break;
  }
  std::vector<uint8_t> bytes;
  if (LoadDataFile(literal.text.c_str(), bytes) == DataFileResult::kOk) return;  // in a pack archive
  report.Add(report.files, read, where + (read ? " is missing" : " not found (the title may make it)"));
}

void CheckFiles(const TitleSurvey& survey, Report& report) {
  std::set<std::string> seen;
  for (const auto& [source, literal] : survey.literals) {
    bool written = literal.callee == "gsave" || literal.callee == "pack_save" ||
                   literal.callee == "sysfile" || (literal.callee == "fopen" && !IsReadArgument(literal));
    if (written || !(IsReadArgument(literal) || LooksLikeFileName(literal.text))) continue;
    if (!seen.insert(literal.text).second) continue;
    CheckFile(source, literal, report);
  }
  if (report.files.empty()) report.files.push_back("    every file the title names is where it says");
}

void CheckFace(const std::string& face, Report& report) {
  platform::FontFile file;
  std::string name = Utf8(face);
  if (ConfiguredFontFile(face, file)) {
    std::error_code ec;
    bool there = fs::exists(file.path, ec);
    return report.Add(report.fonts, !there,
                      name + ": " + file.path + (there ? " (the title's own)" : " is missing"));
  }
  if (!platform::FindFontFile(name, false, false, file))
    return report.Add(report.fonts, true, name + ": no Japanese font is installed (fonts-ipafont)");
  report.Add(report.fonts, false, name + ": " + file.path);
}

void CheckFonts(const TitleSurvey& survey, Report& report) {
  for (const std::string& face : NeededFaces(survey)) CheckFace(face, report);
}

bool CallsAny(const TitleSurvey& survey, const std::string& prefix) {
  auto it = survey.called.lower_bound(prefix);
  return it != survey.called.end() && it->compare(0, prefix.size(), prefix) == 0;
}

// What MIDI and CD audio play from: the SoundFont, and the track files
// made from the title's disc.
void CheckSound(const TitleSurvey& survey, Report& report) {
  if (CallsAny(survey, "midi_")) {
    std::string font = SoundFontPath();
    std::error_code ec;
    bool there = fs::exists(font, ec);
    report.Add(report.sound, !there,
               there ? "MIDI plays with " + font
                     : "MIDI: " + font + " is missing (fluid-soundfont-gm, or [qavz] SoundFont)");
  }
  if (CallsAny(survey, "cd_")) {
    CdDisc disc = ReadTitleCdDisc();
    int audio = 0, playable = 0;
    for (const CdTrack& t : disc.tracks) audio += t.audio, playable += t.audio && !t.path.empty();
    std::string folder = Utf8(CdFolder());
    // Built up piecewise: GCC 12 warns wrongly on long "..." + std::string chains.
    std::string line = "CD audio: ";
    if (playable == 0) {
      line += "no track files in " + folder;
      line += " (qavz cdimport IMAGE.cue FOLDER makes them; [qavz] CDFolder names the folder)";
    } else {
      line += std::to_string(playable) + " of " + std::to_string(audio);
      line += " audio tracks playable, in " + folder;
    }
    report.Add(report.sound, playable < audio || playable == 0, line);
  }
  if (report.sound.empty()) report.sound.push_back("    the title plays no MIDI or CD audio");
}

void CheckSaves(const TitlePaths& paths, Report& report) {
  const std::string& folder = SaveFolder();
  if (folder.empty()) return report.Add(report.saves, false, "written beside the title, in " + paths.baseDir);
  std::error_code ec;
  fs::create_directories(folder, ec);
  bool writable = !ec && platform::CanWriteFolder(folder);
  report.Add(report.saves, !writable,
             "the title's folder cannot be written: saves go to " + folder +
                 (writable ? "" : ", which cannot be made"));
}

void Print(const char* heading, const std::vector<std::string>& lines) {
  std::printf("%s\n", heading);
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
}

// A line on a terminal that says which program is compiling; large titles
// take a while.
void Progress(size_t done, size_t total, const std::string& program) {
  if (!platform::StandardErrorIsTerminal()) return;
  std::fprintf(stderr, "\r\033[Kcompiling %zu/%zu %s", done, total, Utf8(program).c_str());
  std::fflush(stderr);
}

int RunDoctor(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qavz doctor TITLE\n");
    return 2;
  }
  std::string error;
  TitlePaths paths;
  if (!OpenTitle(argv[1], paths, error)) {
    std::fprintf(stderr, "qavz doctor: %s\n", error.c_str());
    return 2;
  }
  TitleSurvey survey = SurveyTitle(paths, Progress);
  if (platform::StandardErrorIsTerminal()) std::fputs("\r\033[K", stderr);
  Report report;
  ReportPrograms(survey, report);
  CheckNatives(survey, report);
  CheckFiles(survey, report);
  CheckFonts(survey, report);
  CheckSound(survey, report);
  CheckSaves(paths, report);

  std::printf("qavz doctor: %s (%s)\n", Utf8(paths.name).c_str(), paths.configFile.c_str());
  Print("programs:", report.programs);
  Print("natives:", report.natives);
  Print("files:", report.files);
  Print("fonts:", report.fonts);
  Print("sound:", report.sound);
  Print("saves:", report.saves);
  if (report.problems == 0) {
    std::printf("the title should run\n");
    return 0;
  }
  std::printf("%d problem%s (marked !): the title will not run as it should\n", report.problems,
              report.problems == 1 ? "" : "s");
  return 1;
}

const ToolCommand kDoctor = {"doctor", "doctor TITLE", RunDoctor};
const bool kRegistered = (RegisterToolCommand(&kDoctor), true);

}  // namespace

}  // namespace qavz::tools
