// The sound tests' harness: the loopback output rendered by the test itself
// (so every sample can be checked), sound files written on the fly, script
// memory for paths, and the level-1 messages captured.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/report_error.h"
#include "platform/audio_out.h"
#include "tests/support/script_memory.h"
#include "tests/support/temp_files.h"

namespace qavz::test {

inline std::vector<std::string>& SoundMessages() {
  static std::vector<std::string> messages;
  return messages;
}

inline int CaptureSoundBox(const char* text) {
  SoundMessages().push_back(text);
  return 1;
}

inline void Put16(std::string& s, uint32_t v) {
  s += char(v & 0xFF);
  s += char(v >> 8 & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// A RIFF wave file: a format chunk of `fmt` and a data chunk of `data`.
inline std::string RiffWave(const std::string& fmt, const std::string& data) {
  std::string body = "WAVEfmt ";
  Put32(body, uint32_t(fmt.size()));
  body += fmt;
  if (fmt.size() & 1) body += '\0';
  body += "data";
  Put32(body, uint32_t(data.size()));
  body += data;
  std::string file = "RIFF";
  Put32(file, uint32_t(body.size()));
  return file + body;
}

inline std::string FormatChunk(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  std::string f;
  uint16_t align = uint16_t(channels * bits / 8);
  Put16(f, tag);
  Put16(f, channels);
  Put32(f, rate);
  Put32(f, rate * align);
  Put16(f, align);
  Put16(f, bits);
  return f;
}

inline std::string PcmWave(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples) {
  std::string data;
  for (int16_t s : samples) Put16(data, uint16_t(s));
  return RiffWave(FormatChunk(1, channels, rate, 16), data);
}

inline std::string Pcm8Wave(uint16_t channels, uint32_t rate, const std::vector<uint8_t>& samples) {
  return RiffWave(FormatChunk(1, channels, rate, 8), std::string(samples.begin(), samples.end()));
}

// A test signal whose every frame is distinct: frame i of channel c.
inline int16_t Ramp(int64_t i, int c = 0) { return int16_t((i * 7 + c * 1000) % 30000 - 15000); }

inline std::vector<int16_t> RampSamples(int frames, int channels) {
  std::vector<int16_t> s;
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) s.push_back(Ramp(i, c));
  return s;
}

// Runs a shell command; true when it succeeded.
inline bool RunCommand(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}
inline bool HaveFfmpeg() { return RunCommand("ffmpeg -version"); }

// Sample i (stereo interleaved) of a render as a 16-bit value.
inline double At(const std::vector<float>& mix, size_t i) { return mix[i] * 32768.0; }

class SoundTest : public ::testing::Test {
 public:
  static constexpr int kRate = 22050;

 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes `bytes` as `name` in the scratch folder; the path back.
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ / name;
    WriteFile(path, bytes);
    return path;
  }
  Addr Path(const std::string& path) { return memory_.Str(path); }
  int32_t Load(int32_t slot, const std::string& path);
  // Renders `frames` stereo frames of the mix, in pieces of at most
  // `piece` frames, letting the stream refill between pieces.
  std::vector<float> Render(int frames, int piece = 2205);

  TempDir dir_;
  ScriptMemory memory_;
};

}  // namespace qavz::test

namespace qavz::test {

// Standard MIDI files for the tests.
inline std::string VarLen(uint32_t v) {
  std::string out(1, char(v & 0x7F));
  while (v >>= 7) out.insert(out.begin(), char(0x80 | (v & 0x7F)));
  return out;
}
inline std::string Be16(uint16_t v) { return {char(v >> 8), char(v & 0xFF)}; }
inline std::string Be32(uint32_t v) { return Be16(uint16_t(v >> 16)) + Be16(uint16_t(v)); }

// One event: the delta time and the bytes.
inline std::string Ev(uint32_t delta, std::initializer_list<int> bytes) {
  std::string s = VarLen(delta);
  for (int b : bytes) s += char(b);
  return s;
}
inline std::string Track(const std::string& events, bool endOfTrack = true) {
  std::string body = events + (endOfTrack ? Ev(0, {0xFF, 0x2F, 0x00}) : "");
  return "MTrk" + Be32(uint32_t(body.size())) + body;
}
inline std::string Smf(uint16_t format, uint16_t division, const std::vector<std::string>& tracks) {
  std::string s = "MThd" + Be32(6) + Be16(format) + Be16(uint16_t(tracks.size())) + Be16(division);
  for (const std::string& t : tracks) s += t;
  return s;
}

// A piece of `ms` milliseconds at 480 ticks a quarter and 120 beats a
// minute (a tick is 1/960 s): channel 1 (0-based) set to volume 100, a
// note held on it, and a note on channel 2, which never sets its volume.
inline std::string TestPiece(int ms) {
  uint32_t ticks = uint32_t(ms) * 960 / 1000;
  std::string events = Ev(0, {0xB1, 7, 100}) + Ev(0, {0xC1, 0}) + Ev(0, {0x91, 60, 100}) +
                       Ev(0, {0x92, 64, 100}) + Ev(ticks, {0x81, 60, 0}) + Ev(0, {0x82, 64, 0});
  return Smf(0, 480, {Track(events)});
}

}  // namespace qavz::test
