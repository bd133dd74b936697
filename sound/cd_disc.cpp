#include "sound/cd_disc.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "sound/cue_sheet.h"

namespace qavz {

namespace fs = std::filesystem;

namespace {

// A cue sheet larger than this is not a table of contents.
constexpr uintmax_t kLargestCueSheet = 1 << 20;

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(uint8_t(c)));
  return s;
}

// "trackNN.ogg|wav|flac" -> NN (1..99), else 0.
int TrackNumber(const std::string& name) {
  std::string n = Lower(name);
  if (n.size() < 9 || n.compare(0, 5, "track") != 0 || !std::isdigit(uint8_t(n[5])) ||
      !std::isdigit(uint8_t(n[6])))
    return 0;
  std::string ext = n.substr(7);
  if (ext != ".ogg" && ext != ".wav" && ext != ".flac") return 0;
  return (n[5] - '0') * 10 + (n[6] - '0');
}

struct Folder {
  std::map<int, std::string> trackFiles;  // number -> host path
  std::map<std::string, std::string> byLowerName;
  std::string cueSheet;
};

Folder Scan(const std::string& folder) {
  Folder f;
  std::error_code error;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error)) entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  for (const fs::path& p : entries) {
    std::string name = p.filename().string();
    f.byLowerName.emplace(Lower(name), p.string());
    if (int n = TrackNumber(name); n && !f.trackFiles.count(n)) f.trackFiles[n] = p.string();
    if (f.cueSheet.empty() && Lower(p.extension().string()) == ".cue") f.cueSheet = p.string();
  }
  return f;
}

int32_t WholeSeconds(double seconds) { return seconds > 0 ? int32_t(std::min(seconds, 2.0e9)) : 0; }

CdDisc FromTrackFiles(const Folder& f, const DurationProbe& duration) {
  CdDisc disc;
  if (f.trackFiles.empty()) return disc;
  disc.tracks.resize(size_t(f.trackFiles.rbegin()->first));
  for (const auto& [number, path] : f.trackFiles) {
    double length = duration(path);
    if (length < 0) continue;  // unreadable: a data track
    CdTrack& t = disc.tracks[size_t(number - 1)];
    t = CdTrack{true, WholeSeconds(length), path, 0, -1};
  }
  return disc;
}

bool ReadText(const std::string& path, std::string& text) {
  std::error_code error;
  if (fs::file_size(path, error) > kLargestCueSheet || error) return false;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return bool(in) || in.eof();
}

CdDisc FromCueSheet(const Folder& f, const CueSheet& sheet, const DurationProbe& duration) {
  CdDisc disc;
  disc.tracks.resize(size_t(sheet.tracks.back().number));
  std::map<int, double> fileSeconds;  // the sheet's files, measured once
  auto fileLength = [&](int file) {
    if (!fileSeconds.count(file)) {
      auto it = f.byLowerName.find(Lower(fs::path(sheet.files[size_t(file)].name).filename().string()));
      fileSeconds[file] = it == f.byLowerName.end() ? -1.0 : duration(it->second);
    }
    return fileSeconds[file];
  };
  for (size_t i = 0; i < sheet.tracks.size(); ++i) {
    const CueTrack& c = sheet.tracks[i];
    CdTrack& t = disc.tracks[size_t(c.number - 1)];
    t.audio = c.audio;
    double start = double(c.start) / kCdFramesPerSecond;
    double length = -1;
    if (i + 1 < sheet.tracks.size() && sheet.tracks[i + 1].file == c.file) {
      length = std::max(0.0, double(sheet.tracks[i + 1].start - c.start) / kCdFramesPerSecond);
    } else if (double whole = fileLength(c.file); whole >= 0) {
      length = std::max(0.0, whole - start);
    }
    if (auto own = f.trackFiles.find(c.number); own != f.trackFiles.end()) {
      double ownLength = duration(own->second);
      if (length < 0) length = ownLength;
      if (ownLength >= 0) {
        t.path = own->second;
        t.start = 0;
        t.length = -1;
      }
    } else if (fileLength(c.file) >= 0) {
      t.path = f.byLowerName.at(Lower(fs::path(sheet.files[size_t(c.file)].name).filename().string()));
      t.start = start;
      t.length = length;
    }
    t.seconds = WholeSeconds(length);
  }
  return disc;
}

}  // namespace

int32_t CdDisc::TotalSeconds() const {
  int64_t total = 0;
  for (const CdTrack& t : tracks) total += t.seconds;
  return int32_t(std::min<int64_t>(total, INT32_MAX));
}

CdDisc ReadCdDisc(const std::string& folder, const DurationProbe& duration) {
  Folder f = Scan(folder);
  std::string text;
  CueSheet sheet;
  if (!f.cueSheet.empty() && ReadText(f.cueSheet, text) && ParseCueSheet(text, sheet))
    return FromCueSheet(f, sheet, duration);
  return FromTrackFiles(f, duration);
}

}  // namespace qavz
