// What a title's sources say about the files and natives it needs, read off
// the source text without compiling it: string literals, the call each one
// is an argument of, and the names called.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace qavz::tools {

struct Literal {
  std::string text;    // escapes resolved; Shift-JIS bytes as written
  std::string callee;  // the function it is a direct argument of, else empty
  int argument = -1;   // its position there
  int line = 0;
  std::string nextLiteral;  // the literal argument after it in the same call, if any
};

struct SourceFacts {
  std::vector<Literal> literals;
  std::set<std::string> called;  // every name followed by '('
};

// Comments (nested, as the compiler allows), "#trap" lines and "#include"
// lines (the compile itself finds the includes) are skipped; a
// Shift-JIS lead byte takes the next byte with it, so a trail byte 0x5C is
// no escape.
SourceFacts ScanSource(const std::string& text);

// True for text that names a data file: a name with an extension titles use
// for images, sounds, music, media, sources and data.
bool LooksLikeFileName(const std::string& text);

}  // namespace qavz::tools
