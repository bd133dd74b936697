// A title as the tools see it: its paths and configuration loaded, every
// program compiled (the main one and those call and jump name), and what its
// sources say about files, natives and fonts.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/config.h"
#include "tools/commands/source_scan.h"

namespace qavz::tools {

struct CompiledProgram {
  std::string path;  // as the title names it (Shift-JIS)
  bool ok = false;
  std::string messages;  // the compile's own text (UTF-8)
  size_t sources = 0;
};

struct TitleSurvey {
  TitlePaths paths;
  std::vector<CompiledProgram> programs;
  std::set<std::string> called;                           // every name called
  std::vector<std::pair<std::string, Literal>> literals;  // source, literal
};

// Loads the title `argument` names (GAME.EXE, GAME.cfg or its folder) as a
// run would: its paths and configuration become the process's, and its base
// folder the current one. False with `error` set when it names none.
bool OpenTitle(const std::string& argument, TitlePaths& paths, std::string& error);

// Compiles every program of the opened title; `progress` (may be null) hears
// of each program before it compiles.
TitleSurvey SurveyTitle(const TitlePaths& paths,
                        void (*progress)(size_t done, size_t total, const std::string& program));

// The faces (Shift-JIS names) the title draws in: the default face, the
// Japanese Windows faces its sources name, and faces it maps to files.
std::set<std::string> NeededFaces(const TitleSurvey& survey);

}  // namespace qavz::tools
