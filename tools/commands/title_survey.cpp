#include "tools/commands/title_survey.h"

#include <filesystem>

#include "compiler/compiler.h"
#include "core/data_files.h"
#include "core/report_error.h"
#include "core/save_folder.h"
#include "graphics/font_slots.h"
#include "host/command_line.h"
#include "platform/fonts.h"
#include "platform/path_map.h"
#include "platform/text_encoding.h"

namespace qavz::tools {

namespace {

// The face every title draws in unless it says otherwise: "ＭＳ ゴシック".
const char kDefaultFace[] = "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e";

}  // namespace

bool OpenTitle(const std::string& argument, TitlePaths& paths, std::string& error) {
  std::string executable = ResolveTitle(argument, error);
  if (executable.empty()) return false;
  paths = DerivePaths(executable);
  ThePaths() = paths;
  ChooseSaveFolder(paths.baseDir, paths.name);
  TheConfig() = ReadConfig(paths.configFile, CpuHasMmxCached());
  SetErrorLevel(0);  // the tools report for themselves; no boxes
  std::error_code ec;
  std::filesystem::current_path(paths.baseDir, ec);
  paths.mainScript = platform::MapPath(MainScriptPath(TheConfig(), paths.name));
  return true;
}

TitleSurvey SurveyTitle(const TitlePaths& paths,
                        void (*progress)(size_t done, size_t total, const std::string& program)) {
  TitleSurvey survey;
  survey.paths = paths;
  std::vector<std::string> queue = {paths.mainScript};
  std::set<std::string> seenPrograms = {paths.mainScript}, seenSources;
  for (size_t i = 0; i < queue.size(); ++i) {
    if (progress) progress(i + 1, queue.size(), queue[i]);
    CompiledProgram program;
    program.path = queue[i];
    program.ok = CheckSourceFile(program.path.c_str(), false, false, CompileMessages::kCollectOnly);
    program.messages = LastCompileMessages();
    std::vector<std::string> sources = LastCompileSources();
    program.sources = sources.size();
    survey.programs.push_back(program);
    for (const std::string& source : sources) {
      if (!seenSources.insert(source).second) continue;
      std::vector<uint8_t> bytes;
      if (LoadDataFile(source.c_str(), bytes) != DataFileResult::kOk) continue;
      SourceFacts facts = ScanSource(std::string(bytes.begin(), bytes.end()));
      survey.called.insert(facts.called.begin(), facts.called.end());
      for (Literal& literal : facts.literals) {
        if ((literal.callee == "call" || literal.callee == "jump") && literal.argument == 0 &&
            seenPrograms.insert(literal.text).second)
          queue.push_back(literal.text);
        survey.literals.emplace_back(source, std::move(literal));
      }
    }
  }
  return survey;
}

std::set<std::string> NeededFaces(const TitleSurvey& survey) {
  std::set<std::string> faces = {kDefaultFace};
  for (const auto& [source, literal] : survey.literals) {
    platform::FontFile ignored;
    if (platform::IsJapaneseWindowsFace(platform::ToUtf8(literal.text)) ||
        ConfiguredFontFile(literal.text, ignored))
      faces.insert(literal.text);
  }
  return faces;
}

}  // namespace qavz::tools
