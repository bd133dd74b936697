// qavz cdimport IMAGE.cue DIR: the audio tracks of a cue/bin disc image as
// Ogg Vorbis track files (track01.ogg ...) and a cue sheet that makes them
// the title's CD, each track's exact length (in 1/75 s frames, from the
// image) noted beside it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/tool_commands.h"
#include "platform/ogg_encoder.h"
#include "platform/process.h"
#include "sound/cue_sheet.h"

namespace qavz::tools {

namespace {

namespace fs = std::filesystem;

constexpr int kAudioSectorBytes = 2352;  // 588 frames of 16-bit stereo at 44.1 kHz
constexpr int kFramesPerSector = 588;
constexpr float kQuality = 0.5f;  // about 160 kbit/s

int Fail(const std::string& text) {
  std::fprintf(stderr, "qavz cdimport: %s\n", text.c_str());
  return 1;
}

// The sector size of each track by its mode ("TRACK 02 AUDIO",
// "TRACK 01 MODE1/2048", ...); 2352 when the mode says nothing else.
std::map<int, int> SectorSizes(const std::string& text) {
  std::map<int, int> sizes;
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    if (word != "TRACK" && word != "track") continue;
    int number = 0;
    std::string mode;
    if (!(in >> number >> mode)) break;
    size_t slash = mode.find('/');
    int size = slash == std::string::npos ? kAudioSectorBytes : std::atoi(mode.c_str() + slash + 1);
    sizes[number] = size > 0 ? size : kAudioSectorBytes;
  }
  return sizes;
}

// Where each track lies in its file: byte offset and length in sectors.
struct TrackSpan {
  int number = 0;
  bool audio = false;
  fs::path file;
  uint64_t offset = 0;
  int64_t sectors = 0;
  int sectorBytes = kAudioSectorBytes;
};

// A track runs from its INDEX 01 to the next track's in the same file, or
// to the end of the file.
bool Spans(const CueSheet& sheet, const std::map<int, int>& sizes, const fs::path& folder,
           std::vector<TrackSpan>& spans, std::string& error) {
  uint64_t offset = 0;  // of the previous track's start, in its file
  int64_t previousStart = 0;
  for (size_t i = 0; i < sheet.tracks.size(); ++i) {
    const CueTrack& t = sheet.tracks[i];
    TrackSpan s;
    s.number = t.number;
    s.audio = t.audio;
    s.file = folder / sheet.files[size_t(t.file)].name;
    s.sectorBytes = sizes.count(t.number) ? sizes.at(t.number) : kAudioSectorBytes;
    bool sameFile = i > 0 && sheet.tracks[i - 1].file == t.file;
    s.offset = sameFile ? offset + uint64_t(t.start - previousStart) * uint64_t(spans.back().sectorBytes)
                        : uint64_t(t.start) * uint64_t(s.sectorBytes);
    offset = s.offset;
    previousStart = t.start;
    if (i + 1 < sheet.tracks.size() && sheet.tracks[i + 1].file == t.file) {
      s.sectors = sheet.tracks[i + 1].start - t.start;
    } else {
      std::error_code ec;
      uintmax_t size = fs::file_size(s.file, ec);
      if (ec) return error = "cannot read " + s.file.string(), false;
      s.sectors = size > s.offset ? int64_t((size - s.offset) / uint64_t(s.sectorBytes)) : 0;
    }
    if (s.sectors < 0)
      return error = "track " + std::to_string(t.number) + " starts before the one above", false;
    spans.push_back(s);
  }
  return true;
}

// A bar on a terminal: how much of the disc's audio is done.
void Progress(uint64_t done, uint64_t total, int track) {
  if (!platform::StandardErrorIsTerminal() || total == 0) return;
  int width = 30, filled = int(done * uint64_t(width) / total);
  std::fprintf(stderr, "\r[%s%s] %3d%% track %02d", std::string(size_t(filled), '#').c_str(),
               std::string(size_t(width - filled), ' ').c_str(), int(done * 100 / total), track);
  std::fflush(stderr);
}

bool EncodeTrack(const TrackSpan& s, const fs::path& out, uint64_t& done, uint64_t total,
                 std::string& error) {
  std::ifstream in(s.file, std::ios::binary);
  in.seekg(std::streamoff(s.offset));
  platform::OggEncoder* encoder = platform::CreateOggEncoder(out.string(), 2, 44100, kQuality);
  if (!in || !encoder) {
    platform::FinishOggEncoder(encoder);
    return error = "cannot make " + out.string(), false;
  }
  std::vector<int16_t> samples(size_t(kFramesPerSector) * 2 * 75);
  bool ok = true;
  for (int64_t left = s.sectors; left > 0 && ok;) {
    int64_t n = left < 75 ? left : 75;
    size_t bytes = size_t(n) * kAudioSectorBytes;
    in.read(reinterpret_cast<char*>(samples.data()), std::streamsize(bytes));
    ok = size_t(in.gcount()) == bytes && EncodeOgg(encoder, samples.data(), size_t(n) * kFramesPerSector);
    left -= n;
    done += uint64_t(n);
    Progress(done, total, s.number);
  }
  if (!platform::FinishOggEncoder(encoder) || !ok)
    return error = "cannot encode track " + std::to_string(s.number), false;
  return true;
}

std::string Msf(int64_t sectors) {
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", (long long)(sectors / 75 / 60),
                (long long)(sectors / 75 % 60), (long long)(sectors % 75));
  return text;
}

// One FILE per track: audio tracks play from their files, data tracks keep
// their places (no file: the runtime counts them as data).
std::string Sheet(const std::vector<TrackSpan>& spans, const std::string& image) {
  std::string text = "REM qavz cdimport of " + image + "\n";
  for (const TrackSpan& s : spans) {
    char number[8];
    std::snprintf(number, sizeof number, "%02d", s.number);
    std::string file = std::string("track") + number + (s.audio ? ".ogg\" WAVE\n" : ".bin\" BINARY\n");
    text += "FILE \"" + file;
    text += std::string("  TRACK ") + number + (s.audio ? " AUDIO\n" : " MODE1/2352\n");
    text += "    REM LENGTH " + Msf(s.sectors) + "\n";
    text += "    INDEX 01 00:00:00\n";
  }
  return text;
}

int RunCdImport(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qavz cdimport IMAGE.cue DIR\n");
    return 2;
  }
  fs::path cue = argv[1], dir = argv[2];
  std::ifstream in(cue, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  CueSheet sheet;
  if (!in || !ParseCueSheet(text.str(), sheet))
    return Fail(cue.string() + " is not a cue sheet this tool reads");
  std::vector<TrackSpan> spans;
  std::string error;
  if (!Spans(sheet, SectorSizes(text.str()), cue.parent_path(), spans, error)) return Fail(error);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec)) return Fail("cannot make " + dir.string());

  uint64_t total = 0, done = 0;
  for (const TrackSpan& s : spans) total += s.audio ? uint64_t(s.sectors) : 0;
  for (const TrackSpan& s : spans) {
    char name[16];
    std::snprintf(name, sizeof name, "track%02d.ogg", s.number);
    if (s.audio && !EncodeTrack(s, dir / name, done, total, error)) return Fail(error);
  }
  if (platform::StandardErrorIsTerminal()) std::fputs("\n", stderr);
  std::ofstream(dir / cue.filename(), std::ios::binary) << Sheet(spans, cue.filename().string());
  for (const TrackSpan& s : spans)
    std::printf("track %02d %s %s\n", s.number, s.audio ? "audio" : "data ", Msf(s.sectors).c_str());
  return 0;
}

const ToolCommand kCdImport = {"cdimport", "cdimport IMAGE.cue DIR", RunCdImport};
const bool kRegistered = (RegisterToolCommand(&kCdImport), true);

}  // namespace

}  // namespace qavz::tools
