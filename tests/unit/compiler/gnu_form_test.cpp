// Compiler messages in GNU form for editors: file:line:column: error: TEXT
// [gloss] on standard error, the Japanese text kept, while the system's own
// text stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "compiler/compiler.h"
#include "compiler_harness.h"

namespace qavz::test {
namespace {

class GnuForm : public CompilerTest {
 protected:
  void TearDown() override { SetMessageForm(MessageForm::kClassic, ""); }

  // Checks `main` from the fixture's folder with the GNU form on; what went
  // to standard error comes back.
  std::string Stderr(const std::map<std::string, std::string>& files, bool* ok = nullptr) {
    std::string main = f.Write(files);
    SetMessageForm(MessageForm::kGnu, f.Dir());
    ::testing::internal::CaptureStderr();
    bool compiled = CheckSourceFile(main.c_str(), false, false, CompileMessages::kStderr);
    if (ok) *ok = compiled;
    return ::testing::internal::GetCapturedStderr();
  }
};

struct Case {
  const char* name;
  std::map<std::string, std::string> files;
  const char* first;  // the first line expected on standard error
};

class GnuFormLines : public GnuForm, public ::testing::WithParamInterface<Case> {};

TEST_P(GnuFormLines, FirstLineNamesFileLineAndCharacterColumn) {
  std::string err = Stderr(GetParam().files);
  EXPECT_EQ(err.substr(0, err.find('\n') + 1), GetParam().first) << err;
}

// The column is where the caret points, past what the reader took in,
// counted in characters from 1 (a tab or a double-byte character is one);
// an error in an include names the include; a name that differs from the
// file on disk only in case is shown as the file on disk.
INSTANTIATE_TEST_SUITE_P(
    Compiler, GnuFormLines,
    ::testing::Values(Case{"Expression",
                           {{"main.c", "int main() {\n  return 1 +;\n}\n"}},
                           "main.c:2:14: error: 式の記述に誤りがあります [bad expression]\n"},
                      Case{"TabCountsOne",
                           {{"main.c", "int main() {\n\treturn 1 +;\n}\n"}},
                           "main.c:2:13: error: 式の記述に誤りがあります [bad expression]\n"},
                      Case{"Utf8CharacterCountsOne",
                           {{"main.c", "int main() {\n  \"あい\"; return 1 +;\n}\n"}},
                           "main.c:2:20: error: 式の記述に誤りがあります [bad expression]\n"},
                      Case{"ShiftJisPairCountsOne",
                           {{"main.c", "int main() {\n  \"\x82\xa0\x82\xa2\"; return 1 +;\n}\n"}},
                           "main.c:2:20: error: 式の記述に誤りがあります [bad expression]\n"},
                      Case{"InInclude",
                           {{"main.c", "#include \"lib\\\\UTIL.H\"\nint main() { return 0; }\n"},
                            {"lib/util.h", "int f() {\n  return 0\n  x;\n}\n"}},
                           "lib/util.h:3:5: warning: ';' がありません [';' expected]\n"},
                      Case{"UndefinedFunction",
                           {{"main.c", "int f();\nint main() { return f(); }\n"}},
                           "main.c: error: f 関数は定義されていません [function f is not defined]\n"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST_F(GnuForm, SourceLineAndCaretFollowTheMessage) {
  std::string err = Stderr({{"main.c", "int main() {\n\treturn 1 +;\n}\n"}});
  EXPECT_EQ(err,
            "main.c:2:13: error: 式の記述に誤りがあります [bad expression]\n"
            "    return 1 +;\n"
            "               ^\n");
}

TEST_F(GnuForm, TheSystemsOwnTextIsUnchanged) {
  std::string main = f.Write({{"main.c", "int main() {\n  return 1 +;\n}\n"}});
  SetMessageForm(MessageForm::kGnu, f.Dir());
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(CheckSourceFile(main.c_str(), false, false, CompileMessages::kCollectOnly));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  std::string text = LastCompileMessages();
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "main.c(2) : 式の記述に誤りがあります。\n");
}

TEST_F(GnuForm, MissingTokenWarnsAndTheCompileStillSucceeds) {
  bool ok = false;
  std::string err = Stderr({{"main.c", "int main() {\n  return 0\n}\n"}}, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(err.substr(0, err.find('\n') + 1), "main.c:3:2: warning: ';' がありません [';' expected]\n");
}

TEST_F(GnuForm, PathsOutsideTheStartFolderAreAbsolute) {
  std::string main = f.Write({{"main.c", "int main() { return 1 +; }\n"}});
  SetMessageForm(MessageForm::kGnu, "/nonexistent-start");
  ::testing::internal::CaptureStderr();
  CheckSourceFile(main.c_str(), false, false, CompileMessages::kStderr);
  std::string err = ::testing::internal::GetCapturedStderr();
  std::string expected = (std::filesystem::path(f.Dir()) / "main.c").lexically_normal().string() + ":1:";
  EXPECT_EQ(err.substr(0, expected.size()), expected) << err;
}

}  // namespace
}  // namespace qavz::test
