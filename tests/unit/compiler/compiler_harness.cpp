#include "compiler_harness.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "compiler/compiler.h"
#include "vm/arena.h"
#include "vm/interpreter.h"

namespace qavz::test {

const char* const kPrelude =
    "#trap\nint out(int value);\n"
    "#trap\nint outs(char *text);\n"
    "#trap\nint plus40(int value);\n";

namespace {

RunResult* Current = nullptr;

void TestTrap(uint32_t index, MachineContext* c) {
  int32_t arg = TheArena().Word(Addr(c->r[7]) + 4);
  c->r[0] = 0;
  if (!Current) return;
  if (index == 0) {
    Current->out.push_back(arg);
  } else if (index == 1) {
    std::string s;
    TheArena().ReadString(Addr(arg), s);
    if (!Current->text.empty()) Current->text += "|";
    Current->text += s;
  } else if (index == 2) {
    c->r[0] = 40 + arg;
  }
}

}  // namespace

CompilerFixture::CompilerFixture() {
  std::random_device rd;
  dir_ = (std::filesystem::temp_directory_path() / ("qavz_compiler_" + std::to_string(rd()))).string();
  std::filesystem::create_directories(dir_);
  oldCwd_ = std::filesystem::current_path().string();
  std::filesystem::current_path(dir_);
}

CompilerFixture::~CompilerFixture() {
  std::filesystem::current_path(oldCwd_);
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string CompilerFixture::Write(const std::map<std::string, std::string>& files, const std::string& main) {
  for (const auto& [name, text] : files) {
    std::filesystem::path p = std::filesystem::path(dir_) / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  return main;  // the fixture runs in its directory; messages name paths as given
}

RunResult CompilerFixture::RunFiles(const std::map<std::string, std::string>& files,
                                    const std::string& main) {
  RunResult r;
  std::string path = Write(files, main);
  StopFlag().store(0);
  MachineContext* c = LoadProgram(path.c_str(), 0, 64 * 1024);
  if (!c) return r;
  r.compiled = true;
  r.codeSize = c->programSize;
  Current = &r;
  SetTrapHandler(TestTrap);
  for (int i = 0; i < 200000 && c->state == 0; ++i) RunSlice(c);
  SetTrapHandler(nullptr);
  Current = nullptr;
  r.state = c->state;
  r.result = c->r[0];
  FreeContext(c);
  StopFlag().store(0);
  return r;
}

RunResult CompilerFixture::Run(const std::string& source, bool prelude) {
  return RunFiles({{"main.c", (prelude ? std::string(kPrelude) : std::string()) + source}});
}

bool CompilerFixture::CheckPath(const std::string& path, std::string* messages) {
  bool ok = CheckSourceFile(path.c_str(), false, false, CompileMessages::kCollectOnly);
  if (messages) *messages = LastCompileMessages();
  return ok;
}

bool CompilerFixture::Check(const std::string& source, std::string* messages, bool prelude) {
  std::string path = Write({{"main.c", (prelude ? std::string(kPrelude) : std::string()) + source}});
  return CheckPath(path, messages);
}

std::string CompilerFixture::Listing(const std::string& source, bool echo, bool prelude) {
  std::string path =
      Write({{"list.c", (prelude ? std::string(kPrelude) : std::string()) + source}}, "list.c");
  std::filesystem::remove(dir_ + "/list.txt");
  CheckSourceFile(path.c_str(), true, echo, CompileMessages::kCollectOnly);
  std::ifstream in(dir_ + "/list.txt", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace qavz::test

namespace qavz::test {

const char* const kCompileErrors[25] = {
    "内部エラー",
    "メモリの確保に失敗しました",
    "ファイルのオープンに失敗しました",
    "ファイルの読み込みに失敗しました",
    "ディレクティプ命令でエラーが発生しました",
    "インクルードファイルの指定が間違ってます",
    "インクルードファイルのネスト回数が多すぎます",
    "マクロの参照回数が１６回を超えました",
    "変数（関数）の宣言に誤りがあります",
    "式の記述に誤りがあります",
    "０で除算しました",
    "定数がありません",
    "文法エラー",
    "変数がありません",
    "型の指定が間違っています",
    "定義されていない文字列です",
    "文字列は一行内に記述してください",
    "クォーテーションがありません",
    "グローバルシンボルの数が多すぎます",
    "ローカルシンボルの数が多すぎます",
    "シンボルバッファの長さをオーバーしました",
    "一行の長さが長すぎます",
    "ヒープ領域が溢れました",
    "プログラム領域が足りません",
    "コンパイル途中で EOF が現れました",
};

}  // namespace qavz::test

namespace qavz::test {

std::vector<int32_t> CompilerTest::RunOuts(const std::string& decls, const std::string& body, bool mustEnd) {
  RunResult r = f.Run(decls + "\nint main() {\n" + body + "\nreturn 0; }\n");
  EXPECT_TRUE(r.compiled) << decls << body;
  if (mustEnd) {
    EXPECT_EQ(r.state, 1) << body;
  }
  return r.out;
}

void CompilerTest::ExpectError(const std::string& source, int code, const char* where) {
  std::string messages;
  EXPECT_FALSE(f.Check(source, &messages)) << source;
  EXPECT_NE(messages.find(std::string(kCompileErrors[code]) + "。"), std::string::npos)
      << "expected error " << code << ", got:\n"
      << messages;
  if (where) {
    EXPECT_NE(messages.find(where), std::string::npos) << messages;
  }
}

}  // namespace qavz::test
