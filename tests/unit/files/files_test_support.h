// Scratch directories, script memory and captured messages for the file tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/report_error.h"
#include "tests/support/script_memory.h"
#include "vm/arena.h"
#include "vm/native_table.h"

namespace qavz::test {

namespace fs = std::filesystem;

inline std::vector<std::string>& Messages() {
  static std::vector<std::string> messages;
  return messages;
}

inline int CaptureBox(const char* text) {
  Messages().push_back(text);
  return 1;
}

inline void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void WriteFile(const fs::path& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh directory that is the current directory for the test, with the
// user's data directory (and so the Windows directory) inside it, and every
// level-2 message captured.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    char tmpl[] = "/tmp/qavz-files-XXXXXX";
    dir_ = mkdtemp(tmpl);
    fs::current_path(dir_);
    setenv("XDG_DATA_HOME", (dir_ / "xdg").c_str(), 1);
    SetHeadless(false);
    SetErrorLevel(2);
    SetErrorBox(CaptureBox);
    Messages().clear();
  }
  void TearDown() override {
    fs::current_path(old_);
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
    SetErrorBox(nullptr);
    SetErrorLevel(0);
  }
  std::string LastMessage() const { return Messages().empty() ? "" : Messages().back(); }

  fs::path dir_, old_;
};

inline int32_t A(Addr a) { return int32_t(a); }

}  // namespace qavz::test
