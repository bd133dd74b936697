// Profile strings as the platform's profile calls read and write them.
//
// A file is read whole and split into lines that keep their own line ends,
// so a write changes one line (or adds one, or a section) and every other
// byte of the file stays as it was.
#include "core/ini.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "core/save_folder.h"
#include "platform/replace_file.h"

namespace qavz {

namespace {

std::string ReadBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines with their line ends ("\n" or "\r\n"; the last line may have none).
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < bytes.size();) {
    size_t end = bytes.find('\n', start);
    end = end == std::string::npos ? bytes.size() : end + 1;
    lines.push_back(bytes.substr(start, end - start));
    start = end;
  }
  return lines;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x + 32);
    if (y >= 'A' && y <= 'Z') y = char(y + 32);
    if (x != y) return false;
  }
  return true;
}

// "[name]" (spaces around the line and inside the brackets ignored).
bool SectionOf(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

// "key = value"; comment lines (';') and lines without '=' hold no key.
bool KeyOf(const std::string& line, std::string& key, size_t& equals) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == ';' || t[0] == '[') return false;
  equals = line.find('=');
  if (equals == std::string::npos) return false;
  key = Trim(line.substr(0, equals));
  return !key.empty();
}

// A value enclosed in matching quotes loses them, as the platform's call does.
std::string Unquote(std::string value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

// Where a section's lines are: [first, end) after its header; first = end =
// lines.size() when the section is missing.
struct SectionRange {
  size_t header = 0, first = 0, end = 0;
  bool found = false;
};

SectionRange FindSection(const std::vector<std::string>& lines, const std::string& section) {
  SectionRange r;
  r.first = r.end = lines.size();
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!SectionOf(lines[i], name)) continue;
    if (r.found) {
      r.end = i;
      break;
    }
    if (SameName(name, section)) {
      r.found = true;
      r.header = i;
      r.first = i + 1;
    }
  }
  return r;
}

// Index of the line holding `key` in the range, or lines.size().
size_t FindKey(const std::vector<std::string>& lines, const SectionRange& r, const std::string& key) {
  std::string name;
  size_t equals;
  for (size_t i = r.first; i < r.end; ++i)
    if (KeyOf(lines[i], name, equals) && SameName(name, key)) return i;
  return lines.size();
}

// The file's own line end, "\r\n" for a new file (as the original tools wrote).
std::string LineEnd(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    if (!line.empty() && line.back() == '\n')
      return line.size() >= 2 && line[line.size() - 2] == '\r' ? "\r\n" : "\n";
  return "\r\n";
}

}  // namespace

bool IniRead(const std::string& file, const std::string& section, const std::string& key,
             std::string& value) {
  std::vector<std::string> lines = SplitLines(ReadBytes(ReadPlace(file)));
  SectionRange r = FindSection(lines, section);
  size_t at = FindKey(lines, r, key);
  if (at == lines.size()) return false;
  value = Unquote(Trim(lines[at].substr(lines[at].find('=') + 1)));
  return true;
}

std::string IniGetString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& fallback) {
  std::string value;
  return IniRead(file, section, key, value) ? value : fallback;
}

// Like the platform's profile-integer call: an absent or empty value gives
// the default; otherwise an optional sign and the leading decimal digits
// (none: 0), wrapping at 32 bits.
int32_t IniGetInt(const std::string& file, const std::string& section, const std::string& key,
                  int32_t fallback) {
  std::string value;
  if (!IniRead(file, section, key, value) || value.empty()) return fallback;
  size_t i = 0;
  bool negative = false;
  if (value[i] == '+' || value[i] == '-') negative = value[i++] == '-';
  uint32_t n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) n = n * 10u + uint32_t(value[i] - '0');
  return int32_t(negative ? 0u - n : n);
}

bool IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
  std::vector<std::string> lines = SplitLines(ReadBytes(ReadPlace(file)));
  std::string eol = LineEnd(lines);
  SectionRange r = FindSection(lines, section);
  size_t at = FindKey(lines, r, key);
  if (at != lines.size()) {
    // Keep the key's spelling, the '=' and the spaces after it, and the line end.
    std::string& line = lines[at];
    size_t valueStart = line.find('=') + 1;
    while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t')) ++valueStart;
    size_t lineEnd = line.size();
    while (lineEnd > valueStart && (line[lineEnd - 1] == '\n' || line[lineEnd - 1] == '\r')) --lineEnd;
    line = line.substr(0, valueStart) + value + line.substr(lineEnd);
  } else {
    if (!lines.empty() && lines.back().back() != '\n') lines.back() += eol;
    if (r.found) {
      // After the section's last line that is not blank.
      size_t insert = r.end;
      while (insert > r.first && Trim(lines[insert - 1]).empty()) --insert;
      lines.insert(lines.begin() + long(insert), key + "=" + value + eol);
    } else {
      lines.push_back("[" + section + "]" + eol);
      lines.push_back(key + "=" + value + eol);
    }
  }
  std::string bytes;
  for (const std::string& line : lines) bytes += line;
  return platform::ReplaceFile(WritePlace(file), bytes);
}

}  // namespace qavz
