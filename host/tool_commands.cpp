#include "host/tool_commands.h"

#include <vector>

namespace qavz {

namespace {

// Filled by the tools' start-up registrations, before main runs; a function
// static so that it exists whichever registration comes first.
std::vector<const ToolCommand*>& Commands() {
  static std::vector<const ToolCommand*> commands;
  return commands;
}

}  // namespace

void RegisterToolCommand(const ToolCommand* command) { Commands().push_back(command); }

const ToolCommand* FindToolCommand(const std::string& word) {
  for (const ToolCommand* command : Commands())
    if (word == command->word) return command;
  return nullptr;
}

std::string ToolUsageLines() {
  std::string lines;
  for (const ToolCommand* command : Commands()) lines += std::string("       qavz ") + command->usage + "\n";
  return lines;
}

}  // namespace qavz
