#include "sound/cue_sheet.h"

#include <cctype>
#include <sstream>

namespace qavz {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(uint8_t(c)));
  return s;
}

// The next word of the line, or a double-quoted string.
bool Word(const std::string& line, size_t& at, std::string& out) {
  while (at < line.size() && std::isspace(uint8_t(line[at]))) ++at;
  if (at >= line.size()) return false;
  if (line[at] == '"') {
    size_t end = line.find('"', at + 1);
    if (end == std::string::npos) return false;
    out = line.substr(at + 1, end - at - 1);
    at = end + 1;
    return true;
  }
  size_t start = at;
  while (at < line.size() && !std::isspace(uint8_t(line[at]))) ++at;
  out = line.substr(start, at - start);
  return true;
}

bool Number(const std::string& s, int limit, int& out) {
  if (s.empty() || s.size() > 4) return false;
  out = 0;
  for (char c : s) {
    if (!std::isdigit(uint8_t(c))) return false;
    out = out * 10 + (c - '0');
  }
  return out <= limit;
}

// mm:ss:ff as CD frames.
bool Time(const std::string& s, int64_t& frames) {
  size_t a = s.find(':'), b = s.rfind(':');
  if (a == std::string::npos || a == b) return false;
  int m, sec, f;
  if (!Number(s.substr(0, a), 9999, m) || !Number(s.substr(a + 1, b - a - 1), 59, sec) ||
      !Number(s.substr(b + 1), kCdFramesPerSecond - 1, f))
    return false;
  frames = (int64_t(m) * 60 + sec) * kCdFramesPerSecond + f;
  return true;
}

}  // namespace

bool ParseCueSheet(const std::string& text, CueSheet& out) {
  CueSheet sheet;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    size_t at = 0;
    std::string command, a, b;
    if (!Word(line, at, command)) continue;
    command = Upper(command);
    if (command == "FILE") {
      if (!Word(line, at, a)) return false;
      Word(line, at, b);
      sheet.files.push_back(CueFile{a, Upper(b)});
    } else if (command == "TRACK") {
      int number;
      if (sheet.files.empty() || !Word(line, at, a) || !Word(line, at, b) || !Number(a, 99, number))
        return false;
      int previous = sheet.tracks.empty() ? 0 : sheet.tracks.back().number;
      if (number <= previous || (!sheet.tracks.empty() && sheet.tracks.back().start < 0)) return false;
      sheet.tracks.push_back(CueTrack{number, Upper(b) == "AUDIO", int(sheet.files.size()) - 1, -1});
    } else if (command == "INDEX") {
      int index;
      int64_t frames;
      if (sheet.tracks.empty() || !Word(line, at, a) || !Word(line, at, b) || !Number(a, 99, index) ||
          !Time(b, frames))
        return false;
      if (index == 1) sheet.tracks.back().start = frames;
    }
  }
  if (sheet.tracks.empty() || sheet.tracks.back().start < 0) return false;
  out = std::move(sheet);
  return true;
}

}  // namespace qavz
