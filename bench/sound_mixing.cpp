// The cost of sound: processor time of the whole process while 32 static
// slots, the stream of slot 0 and a MIDI piece play on the real-time
// loopback output, against the wall time they play (target: under 10 % of
// one core); and Microsoft ADPCM decoding speed as a multiple of real time
// on one core (target: at least 50).
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/config.h"
#include "host/subsystems.h"
#include "platform/audio_out.h"
#include "sound/midi_player.h"
#include "sound/sound_slots.h"
#include "sound/sound_source.h"
#include "vm/arena.h"

using namespace qavz;
namespace fs = std::filesystem;

namespace {

void Put16(std::string& s, uint32_t v) {
  s += char(v & 0xFF);
  s += char(v >> 8 & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

std::string Wave(const std::string& fmt, const std::string& data) {
  std::string body = "WAVEfmt ";
  Put32(body, uint32_t(fmt.size()));
  body += fmt;
  body += "data";
  Put32(body, uint32_t(data.size()));
  body += data;
  std::string file = "RIFF";
  Put32(file, uint32_t(body.size()));
  return file + body;
}

std::string PcmTone(double seconds, double frequency) {
  const uint32_t rate = 22050;
  std::string fmt, data;
  Put16(fmt, 1), Put16(fmt, 2), Put32(fmt, rate), Put32(fmt, rate * 4), Put16(fmt, 4), Put16(fmt, 16);
  for (uint32_t i = 0; i < uint32_t(seconds * rate); ++i) {
    int16_t v = int16_t(3000 * std::sin(2 * M_PI * frequency * i / rate));
    Put16(data, uint16_t(v));
    Put16(data, uint16_t(v));
  }
  return Wave(fmt, data);
}

// Stereo ADPCM at 22050 Hz, 1024-byte blocks, standard coefficients; the
// codes are noise, which decodes as well as music does.
std::string Adpcm(double seconds) {
  static const int16_t kCoef[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                      {240, 0}, {460, -208}, {392, -232}};
  const uint16_t align = 1024, perBlock = 2 + (align - 14) * 2 / 2 / 2;
  std::string fmt;
  Put16(fmt, 2), Put16(fmt, 2), Put32(fmt, 22050), Put32(fmt, 22050 * align / perBlock), Put16(fmt, align);
  Put16(fmt, 4), Put16(fmt, 32), Put16(fmt, perBlock), Put16(fmt, 7);
  for (auto& c : kCoef) Put16(fmt, uint16_t(c[0])), Put16(fmt, uint16_t(c[1]));
  std::mt19937 rng(7);
  std::string data;
  for (uint32_t b = 0; b < uint32_t(seconds * 22050 / perBlock); ++b) {
    std::string block(align, '\0');
    for (auto& c : block) c = char(rng());
    block[0] = char(rng() % 7), block[1] = char(rng() % 7);
    block[2] = 20, block[3] = 0, block[4] = 20, block[5] = 0;
    data += block;
  }
  return Wave(fmt, data);
}

// A minute of four-part chords, a change every eighth of a second.
std::string Piece() {
  std::string track;
  auto ev = [&](uint32_t delta, std::initializer_list<int> bytes) {
    std::string d(1, char(delta & 0x7F));
    while (delta >>= 7) d.insert(d.begin(), char(0x80 | (delta & 0x7F)));
    track += d;
    for (int b : bytes) track += char(b);
  };
  for (int c = 0; c < 4; ++c) ev(0, {0xC0 | c, 1 + c * 20});
  for (int step = 0; step < 480; ++step) {
    for (int c = 0; c < 4; ++c) ev(0, {0x90 | c, 48 + (step * 5 + c * 7) % 36, 90});
    for (int c = 0; c < 4; ++c) ev(c == 0 ? 120 : 0, {0x80 | c, 48 + (step * 5 + c * 7) % 36, 0});
  }
  ev(0, {0xFF, 0x2F, 0x00});
  std::string file = "MThd";
  Put32(file, 0x06000000);  // big-endian 6
  Put32(file, 0x01000000);  // format 0, one track
  Put16(file, 0xE001);      // 480 ticks a quarter
  file += "MTrk";
  uint32_t n = uint32_t(track.size());
  for (int shift = 24; shift >= 0; shift -= 8) file += char(n >> shift);
  return file + track;
}

void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

int32_t Path(const std::string& path) {
  Addr a = TheArena().Alloc(uint32_t(path.size() + 1));
  TheArena().WriteString(a, path.data(), path.size());
  return int32_t(a);
}

double ProcessSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main() {
  ConnectSubsystems();
  SetHeadless(true);
  fs::path dir = fs::temp_directory_path() / "qavz-bench-sound";
  fs::create_directories(dir);
  for (int i = 0; i < 8; ++i) Write(dir / ("s" + std::to_string(i) + ".wav"), PcmTone(2.0, 200 + 50 * i));
  Write(dir / "stream.wav", PcmTone(20.0, 330));
  Write(dir / "adpcm.wav", Adpcm(120.0));
  Write(dir / "piece.mid", Piece());

  // ADPCM: two minutes of stereo sound decoded whole, best of three.
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    SoundSource source;
    if (!source.Open((dir / "adpcm.wav").c_str())) return std::puts("cannot open the ADPCM file"), 1;
    std::vector<uint8_t> out(source.DecodedLength());
    double start = ProcessSeconds();
    source.Deliver(out.data(), out.size());
    best = std::min(best, ProcessSeconds() - start);
  }
  std::printf("ADPCM decoding: %.0f x real time on one core (target >= 50)\n", 120.0 / best);

  // Mixing on the real-time loopback.
  platform::ConfigureLoopback(44100, true);
  if (!StartSoundOutput() || !StartMidiOutput()) return std::puts("no audio output"), 1;
  for (int slot = 1; slot <= 32; ++slot) {
    Op_snd_load(slot, Path((dir / ("s" + std::to_string(slot % 8) + ".wav")).string()));
    Op_snd_play(slot, 1);
  }
  Op_snd_load(0, Path((dir / "stream.wav").string()));
  Op_snd_play(0, 1);
  Op_midi_load(0, Path((dir / "piece.mid").string()));
  Op_midi_repeat(1, 0);
  Op_midi_play(0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const double seconds = 5.0;
  double cpu = ProcessSeconds();
  auto wall = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  cpu = ProcessSeconds() - cpu;
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  std::printf("mixing 32 slots, the stream and MIDI: %.1f %% of one core (target < 10 %%)\n",
              100 * cpu / elapsed);
  std::printf("playing: slot 1 %d, stream %d, MIDI %d\n", Op_snd_isplay(1, 0), Op_snd_isplay(0, 0),
              Op_midi_isplay(0, 0));
  StopMidiOutput();
  StopSoundOutput();
  fs::remove_all(dir);
  return 0;
}
