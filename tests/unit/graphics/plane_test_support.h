// Shared set-up for the plane, drawing and page tests: a fresh display (plane
// 0 as both pages, the 3-3-2 palettes), a scratch directory as the current
// directory, captured messages, and native calls made the way scripts make
// them.
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
#include "core/service_hooks.h"
#include "graphics/plane.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz::test {

namespace fs = std::filesystem;

inline std::vector<std::string>& GraphicsMessages() {
  static std::vector<std::string> messages;
  return messages;
}

inline int CaptureGraphicsBox(const char* text) {
  GraphicsMessages().push_back(text);
  return 1;
}

inline void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class GraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    char pattern[] = "/tmp/qavz-graphics-XXXXXX";
    dir_ = mkdtemp(pattern);
    fs::current_path(dir_);
    SetHeadless(false);
    SetErrorLevel(2);
    SetErrorBox(CaptureGraphicsBox);
    GraphicsMessages().clear();
    InitColourTables();
    CreatePalette();
  }
  void TearDown() override {
    FreePagesAndSurfaces();
    fs::current_path(old_);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    SetErrorBox(nullptr);
    SetErrorLevel(0);
  }

  int32_t Call(NativeFunction native, std::initializer_list<int32_t> args) {
    return native(memory_.Args(args));
  }
  int32_t At(Addr a) { return int32_t(a); }
  std::string LastMessage() const { return GraphicsMessages().empty() ? "" : GraphicsMessages().back(); }

  Plane& MakePlane(int32_t slot, int32_t width, int32_t height, int32_t depth) {
    Plane* plane = CreatePlane(slot, width, height, depth);
    EXPECT_NE(plane, nullptr);
    return *plane;
  }

  ScriptMemory memory_{1 << 20};
  fs::path dir_, old_;
};

}  // namespace qavz::test
