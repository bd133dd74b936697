// Subcommands that live above the runtime (tools/): each registers itself
// when the program starts, so the host knows them only by their words.
#pragma once

#include <string>

namespace qavz {

struct ToolCommand {
  const char* word;   // qavz WORD ...
  const char* usage;  // its line(s) for the usage text, without "usage:"
  // argv[0] is the word. Returns the process exit status.
  int (*run)(int argc, char** argv);
};

// Keeps `command` (which must live for the whole run).
void RegisterToolCommand(const ToolCommand* command);
// The command for `word`; null when none registered it.
const ToolCommand* FindToolCommand(const std::string& word);
// The usage lines of every registered command, each indented as the usage
// text's lines are.
std::string ToolUsageLines();

}  // namespace qavz
