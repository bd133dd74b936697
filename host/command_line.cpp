#include "host/command_line.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/config.h"
#include "host/tool_commands.h"

namespace qavz {

namespace fs = std::filesystem;

const char kUsageText[] =
    "usage: qavz TITLE                  run a title: GAME.EXE, GAME.cfg or its folder\n"
    "       qavz run [--headless] [--result] [--watch] [--config FILE.cfg] [--timeout MS]\n"
    "                [--snapshot FILE.png] [--messages=gnu|classic] FILE.c\n"
    "       qavz check [--messages=gnu|classic] FILE.c\n"
    "       qavz listing [--echo] FILE.c\n"
    "       qavz pack [--follow] [--names utf8|cp932] DIR | unpack [--names utf8|cp932] FILE.bin [DIR]\n"
    "       qavz compress IN OUT | expand IN OUT\n"
    "       qavz --help | --version\n";

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(uint8_t(a[i])) != std::tolower(uint8_t(b[i]))) return false;
  return true;
}

bool HasExtension(const fs::path& path, const char* extension) {
  return SameIgnoringCase(path.extension().string(), extension);
}

// Files of `dir` with the extension, any letter case.
std::vector<fs::path> FilesWith(const fs::path& dir, const char* extension) {
  std::vector<fs::path> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error))
    if (entry.is_regular_file(error) && HasExtension(entry.path(), extension)) found.push_back(entry.path());
  return found;
}

// The executable a configuration file belongs to: GAME.cfg -> GAME.exe in any
// letter case that exists, else GAME.exe.
std::string ExecutableFor(const fs::path& config) {
  fs::path stem = config.parent_path() / config.stem();
  for (const fs::path& exe : FilesWith(config.parent_path().empty() ? "." : config.parent_path(), ".exe"))
    if (SameIgnoringCase(exe.stem().string(), config.stem().string())) return AbsolutePath(exe.string());
  return AbsolutePath(stem.string() + ".exe");
}

bool ParseNumber(const char* text, int64_t& out) {
  char* end = nullptr;
  long long n = std::strtoll(text, &end, 10);
  if (!*text || *end || n < 0) return false;
  out = n;
  return true;
}

void SetMessages(CommandLine& line, const char* value) {
  line.messages = value;
  if (line.messages != "gnu" && line.messages != "classic") line.error = "--messages takes gnu or classic";
}

// Options of the commands that take FILE.c, each for one command.
struct Option {
  const char* name;
  Command command;
  bool takesValue;
  void (*apply)(CommandLine& line, const char* value);
};

constexpr Option kOptions[] = {
    {"--headless", Command::kRun, false, [](CommandLine& l, const char*) { l.headless = true; }},
    {"--result", Command::kRun, false, [](CommandLine& l, const char*) { l.printResult = true; }},
    {"--watch", Command::kRun, false, [](CommandLine& l, const char*) { l.watch = true; }},
    {"--config", Command::kRun, true, [](CommandLine& l, const char* v) { l.configFile = v; }},
    {"--timeout", Command::kRun, true,
     [](CommandLine& l, const char* v) {
       if (!ParseNumber(v, l.timeoutMs)) l.error = "--timeout takes milliseconds";
     }},
    {"--snapshot", Command::kRun, true, [](CommandLine& l, const char* v) { l.snapshot = v; }},
    {"--echo", Command::kListing, false, [](CommandLine& l, const char*) { l.echo = true; }},
    {"--messages", Command::kRun, true, SetMessages},
    {"--messages", Command::kCheck, true, SetMessages},
    {"--messages", Command::kListing, true, SetMessages},
};

const Option* FindOption(const std::string& name, Command command) {
  for (const Option& option : kOptions)
    if (option.command == command && name == option.name) return &option;
  return nullptr;
}

// COMMAND [options] FILE.c, the options in any order.
CommandLine ParseScriptCommand(int argc, const char* const* argv, Command command) {
  CommandLine line;
  line.command = command;
  for (int i = 2; i < argc && line.error.empty(); ++i) {
    std::string a = argv[i];
    const Option* option = FindOption(a, command);
    size_t equals = a.find('=');
    const Option* joined = equals == std::string::npos ? nullptr : FindOption(a.substr(0, equals), command);
    if (joined && joined->takesValue) {  // --option=value
      joined->apply(line, argv[i] + equals + 1);
    } else if (option && (!option->takesValue || i + 1 < argc)) {
      option->apply(line, option->takesValue ? argv[++i] : nullptr);
    } else if (a.size() > 1 && a[0] == '-') {
      line.error = (option ? a + " needs a value" : "unknown option " + a);
    } else if (line.script.empty()) {
      line.script = a;
    } else {
      line.error = "one FILE.c only";
    }
  }
  if (line.script.empty() && line.error.empty()) line.error = "FILE.c is missing";
  if (!line.error.empty()) line.command = Command::kUsage;
  return line;
}

CommandLine ParseRun(int argc, const char* const* argv) {
  return ParseScriptCommand(argc, argv, Command::kRun);
}
CommandLine ParseCheck(int argc, const char* const* argv) {
  return ParseScriptCommand(argc, argv, Command::kCheck);
}
CommandLine ParseListing(int argc, const char* const* argv) {
  return ParseScriptCommand(argc, argv, Command::kListing);
}

CommandLine Only(Command command) {
  CommandLine line;
  line.command = command;
  return line;
}
CommandLine Help(int, const char* const*) { return Only(Command::kHelp); }
CommandLine Version(int, const char* const*) { return Only(Command::kVersion); }

// The archive tools read their own arguments, from the verb on.
CommandLine ArchiveTool(int, const char* const*) {
  CommandLine line = Only(Command::kArchiveTool);
  line.toolArgument = 1;
  return line;
}

struct Subcommand {
  const char* word;
  CommandLine (*parse)(int argc, const char* const* argv);
};

constexpr Subcommand kSubcommands[] = {
    {"--help", Help},          {"-h", Help},
    {"--version", Version},    {"run", ParseRun},
    {"check", ParseCheck},     {"listing", ParseListing},
    {"pack", ArchiveTool},     {"unpack", ArchiveTool},
    {"compress", ArchiveTool}, {"expand", ArchiveTool},
};

}  // namespace

std::string ResolveTitle(const std::string& argument, std::string& error) {
  fs::path path(argument);
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    std::vector<fs::path> configs = FilesWith(path, ".cfg");
    if (configs.size() == 1) return ExecutableFor(configs[0]);
    error = argument + (configs.empty() ? " holds no .cfg file" : " holds more than one .cfg file");
    return {};
  }
  if (!path.has_extension()) {
    error = argument + " is not a title: name GAME.EXE, GAME.cfg or the title's folder";
    return {};
  }
  fs::path absolute = AbsolutePath(argument);
  if (!fs::is_directory(absolute.parent_path(), ec)) {
    error = "no folder " + absolute.parent_path().string();
    return {};
  }
  return HasExtension(path, ".cfg") ? ExecutableFor(absolute) : absolute.string();
}

bool WantGnuMessages(const std::string& option, bool stderrIsTerminal, const char* lcAll,
                     const char* lcMessages, const char* lang) {
  if (!option.empty()) return option == "gnu";
  if (!stderrIsTerminal) return false;
  const char* locale = "";
  for (const char* value : {lcAll, lcMessages, lang})
    if (value && *value) {
      locale = value;
      break;
    }
  return std::strncmp(locale, "ja", 2) != 0;
}

CommandLine ParseCommandLine(int argc, const char* const* argv, const std::string& argv0Path) {
  CommandLine line;
  if (argc < 2) {
    // Started under a title's name (a link GAME.exe to the runtime).
    if (!argv0Path.empty() && fs::path(argv0Path).has_extension()) {
      line.command = Command::kTitle;
      line.title = argv0Path;
    }
    return line;
  }
  std::string first = argv[1];
  for (const Subcommand& sub : kSubcommands)
    if (first == sub.word) return sub.parse(argc, argv);
  if (FindToolCommand(first)) {
    line.command = Command::kTool;
    line.toolArgument = 1;
    return line;
  }
  if (first.size() > 1 && first[0] == '-') {
    line.error = "unknown option " + first;
  } else if (argc > 2) {
    line.error = "one title only";
  } else {
    line.title = ResolveTitle(first, line.error);
    if (!line.title.empty()) line.command = Command::kTitle;
  }
  return line;
}

}  // namespace qavz
