#include "tools/commands/source_scan.h"

#include <cctype>
#include <cstdint>

namespace qavz::tools {

namespace {

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsIdentStart(char c) { return std::isalpha(uint8_t(c)) || c == '_'; }
bool IsIdent(char c) { return std::isalnum(uint8_t(c)) || c == '_'; }

// One open parenthesis: the name before it and the argument being read.
struct Call {
  std::string callee;
  int argument = 0;
  size_t firstLiteral = 0;  // index of the first literal read inside it
};

class Scanner {
 public:
  explicit Scanner(const std::string& text) : s_(text) {}

  SourceFacts Run() {
    while (i_ < s_.size()) Step();
    return std::move(facts_);
  }

 private:
  char At(size_t k) const { return k < s_.size() ? s_[k] : '\0'; }

  void Step() {
    char c = s_[i_];
    if (c == '\n') {
      ++line_, ++i_;
      lineStart_ = true;
      return;
    }
    if (lineStart_ && (c == ' ' || c == '\t')) return void(++i_);
    bool atLineStart = lineStart_;
    lineStart_ = false;
    if (atLineStart && (s_.compare(i_, 5, "#trap") == 0 || s_.compare(i_, 8, "#include") == 0))
      return SkipLine();
    if (c == '/' && At(i_ + 1) == '/') return SkipLine();
    if (c == '/' && At(i_ + 1) == '*') return SkipComment();
    if (c == '"') return ReadString();
    if (c == '\'') return SkipChar();
    if (IsIdentStart(c)) return ReadName();
    if (c == '(') {
      calls_.push_back({pendingName_, 0, facts_.literals.size()});
    } else if (c == ')' && !calls_.empty()) {
      calls_.pop_back();
    } else if (c == ',' && !calls_.empty()) {
      ++calls_.back().argument;
    }
    if (c != ' ' && c != '\t' && c != '\r') pendingName_.clear();
    if (IsLead(uint8_t(c))) ++i_;
    ++i_;
  }

  void SkipLine() {
    while (i_ < s_.size() && s_[i_] != '\n') ++i_;
  }

  void SkipComment() {
    int depth = 0;
    while (i_ < s_.size()) {
      if (s_[i_] == '/' && At(i_ + 1) == '*') {
        ++depth, i_ += 2;
      } else if (s_[i_] == '*' && At(i_ + 1) == '/') {
        i_ += 2;
        if (--depth == 0) return;
      } else {
        line_ += s_[i_] == '\n';
        ++i_;
      }
    }
  }

  void SkipChar() {
    for (++i_; i_ < s_.size() && s_[i_] != '\'' && s_[i_] != '\n'; ++i_)
      if (s_[i_] == '\\' || IsLead(uint8_t(s_[i_]))) ++i_;
    ++i_;
    pendingName_.clear();
  }

  void ReadName() {
    size_t start = i_;
    while (i_ < s_.size() && IsIdent(s_[i_])) ++i_;
    pendingName_ = s_.substr(start, i_ - start);
    size_t k = i_;
    while (k < s_.size() && (s_[k] == ' ' || s_[k] == '\t')) ++k;
    if (At(k) == '(') facts_.called.insert(pendingName_);
  }

  void ReadString() {
    Literal literal;
    literal.line = line_;
    for (++i_; i_ < s_.size() && s_[i_] != '"' && s_[i_] != '\n'; ++i_) {
      char c = s_[i_];
      if (IsLead(uint8_t(c)) && i_ + 1 < s_.size()) {
        literal.text += c;
        literal.text += s_[++i_];
      } else if (c == '\\' && i_ + 1 < s_.size()) {
        char e = s_[++i_];
        literal.text += e == 'n' ? '\n' : e == 't' ? '\t' : e == '0' ? '\0' : e;
      } else {
        literal.text += c;
      }
    }
    ++i_;
    if (!calls_.empty()) {
      literal.callee = calls_.back().callee;
      literal.argument = calls_.back().argument;
      // The literal argument before it in the same call learns of this one.
      for (size_t k = facts_.literals.size(); k-- > calls_.back().firstLiteral;)
        if (facts_.literals[k].callee == literal.callee &&
            facts_.literals[k].argument == literal.argument - 1) {
          facts_.literals[k].nextLiteral = literal.text;
          break;
        }
    }
    facts_.literals.push_back(std::move(literal));
    pendingName_.clear();
  }

  const std::string& s_;
  size_t i_ = 0;
  int line_ = 1;
  bool lineStart_ = true;
  std::string pendingName_;
  std::vector<Call> calls_;
  SourceFacts facts_;
};

}  // namespace

SourceFacts ScanSource(const std::string& text) { return Scanner(text).Run(); }

bool LooksLikeFileName(const std::string& text) {
  static const char* const kExtensions[] = {"bmp",  "png", "jpg", "jpeg", "gif", "wav", "ogg", "mid", "midi",
                                            "rmi",  "c",   "h",   "txt",  "dat", "bin", "ini", "avi", "mpg",
                                            "mpeg", "mp3", "mp4", "wmv",  "ttf", "ttc", "otf", "csv"};
  if (text.empty() || text.size() > 259 || text.find('%') != std::string::npos) return false;
  for (char c : text)
    if (uint8_t(c) < 0x20 || c == '"' || c == '*' || c == '?' || c == '<' || c == '>' || c == '|')
      return false;
  size_t dot = text.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) return false;
  std::string extension;
  for (size_t k = dot + 1; k < text.size(); ++k) extension += char(std::tolower(uint8_t(text[k])));
  for (const char* known : kExtensions)
    if (extension == known) return true;
  return false;
}

}  // namespace qavz::tools
