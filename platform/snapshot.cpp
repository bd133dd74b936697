#include "platform/snapshot.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace qavz::platform {

namespace {

namespace fs = std::filesystem;

// libpng reports errors by longjmp; everything that must be cleaned up
// afterwards lives outside the function that calls setjmp.
bool WriteRows(std::FILE* file, const Frame& frame, std::vector<png_byte>& row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(frame.width), png_uint_32(frame.height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < frame.height; ++y) {
    const uint32_t* source = frame.pixels.data() + size_t(y) * size_t(frame.width);
    for (int32_t x = 0; x < frame.width; ++x) {
      row[size_t(x) * 3 + 0] = png_byte(source[x] >> 16);
      row[size_t(x) * 3 + 1] = png_byte(source[x] >> 8);
      row[size_t(x) * 3 + 2] = png_byte(source[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// The value of XDG_PICTURES_DIR="..." in user-dirs.dirs, $HOME expanded.
std::string FromUserDirs(const std::string& home) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  fs::path file = (config && *config ? fs::path(config) : fs::path(home) / ".config") / "user-dirs.dirs";
  std::ifstream in(file);
  std::string line;
  const std::string key = "XDG_PICTURES_DIR=\"";
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
    return value;
  }
  return {};
}

}  // namespace

bool WritePng(const std::string& path, const Frame& frame, std::string* error) {
  if (frame.width <= 0 || frame.height <= 0 ||
      frame.pixels.size() < size_t(frame.width) * size_t(frame.height)) {
    if (error) *error = "no frame has been presented";
    return false;
  }
  std::vector<png_byte> row(size_t(frame.width) * 3);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    if (error) *error = "cannot create " + path;
    return false;
  }
  bool ok = WriteRows(file, frame, row);
  ok = (std::fclose(file) == 0) && ok;
  if (!ok) {
    std::remove(path.c_str());
    if (error) *error = "cannot write " + path;
  }
  return ok;
}

bool ReadPng(const std::string& path, Frame* frame, std::string* error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    if (error) *error = path + ": " + image.message;
    return false;
  }
  image.format = PNG_FORMAT_BGRA;  // one little-endian word per pixel: 0xAARRGGBB
  if (!frame->Resize(int32_t(image.width), int32_t(image.height)) ||
      !png_image_finish_read(&image, nullptr, frame->pixels.data(), 0, nullptr)) {
    if (error) *error = path + ": " + (image.warning_or_error ? image.message : "out of memory");
    png_image_free(&image);
    *frame = Frame{};
    return false;
  }
  for (uint32_t& pixel : frame->pixels) pixel &= 0xFFFFFF;
  return true;
}

std::string PicturesFolder() {
  const char* home = std::getenv("HOME");
  const char* xdg = std::getenv("XDG_PICTURES_DIR");
  std::string folder;
  if (xdg && *xdg) {
    folder = xdg;
  } else if (home && *home) {
    folder = FromUserDirs(home);
    if (folder.empty()) folder = (fs::path(home) / "Pictures").string();
  }
  if (folder.empty()) return {};
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  return folder;
}

}  // namespace qavz::platform
