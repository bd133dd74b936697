// qavz-soundgen DIR: writes the demo title's sounds into DIR, made here from
// nothing (tones and a tune), so the demo ships no borrowed recordings:
//   jump.wav   8-bit mono 11025 Hz, a rising square-wave chirp
//   coin.wav   16-bit mono 22050 Hz, two bell-like tones
//   music.mid  a looping tune on three channels (lead, bass, hi-hat)
// The files in examples/demo/DEMO were made by this program.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Put16(std::string& s, uint32_t v) {
  s += char(v & 0xFF);
  s += char(v >> 8 & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
void PutBe32(std::string& s, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s += char(v >> shift & 0xFF);
}

std::string Wave(uint32_t rate, uint16_t bits, const std::string& data) {
  std::string fmt;
  uint16_t align = uint16_t(bits / 8);
  Put16(fmt, 1);
  Put16(fmt, 1);
  Put32(fmt, rate);
  Put32(fmt, rate * align);
  Put16(fmt, align);
  Put16(fmt, bits);
  std::string body = "WAVEfmt ";
  Put32(body, uint32_t(fmt.size()));
  body += fmt;
  body += "data";
  Put32(body, uint32_t(data.size()));
  body += data;
  if (data.size() & 1) body += '\x80';
  std::string file = "RIFF";
  Put32(file, uint32_t(body.size()));
  return file + body;
}

std::string Jump() {
  const uint32_t rate = 11025;
  const int n = int(rate * 0.18);
  std::string data;
  double phase = 0;
  for (int i = 0; i < n; ++i) {
    double t = double(i) / n;
    phase += (300 + 700 * t) / rate;
    double level = (1 - t) * 70;
    data += char(uint8_t(128 + (std::fmod(phase, 1.0) < 0.5 ? level : -level)));
  }
  return Wave(rate, 8, data);
}

std::string Coin() {
  const uint32_t rate = 22050;
  std::string data;
  auto tone = [&](double frequency, double seconds) {
    const int n = int(rate * seconds);
    for (int i = 0; i < n; ++i) {
      double t = double(i) / rate;
      double v = std::sin(2 * M_PI * frequency * t) * std::exp(-t * 9) * 9000;
      Put16(data, uint16_t(int16_t(v)));
    }
  };
  tone(988, 0.08);
  tone(1319, 0.3);
  return Wave(rate, 16, data);
}

// A track of events: delta time in ticks, then the bytes.
struct Track {
  std::string bytes;
  void Event(uint32_t delta, std::initializer_list<int> data) {
    std::string d(1, char(delta & 0x7F));
    while (delta >>= 7) d.insert(d.begin(), char(0x80 | (delta & 0x7F)));
    bytes += d;
    for (int b : data) bytes += char(b);
  }
  std::string Chunk() {
    Event(0, {0xFF, 0x2F, 0x00});
    std::string out = "MTrk";
    PutBe32(out, uint32_t(bytes.size()));
    return out + bytes;
  }
};

std::string Music() {
  const int quarter = 480, eighth = 240;
  Track conductor, lead, bass, hats;
  conductor.Event(0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});  // 500000 us: 120 beats a minute
  lead.Event(0, {0xC0, 80});                                 // square lead
  lead.Event(0, {0xB0, 7, 90});
  bass.Event(0, {0xC1, 33});  // fingered bass
  bass.Event(0, {0xB1, 7, 110});
  hats.Event(0, {0xB9, 7, 70});
  // Four bars of C, A minor, F and G; the tune walks each chord.
  const int roots[4] = {48, 45, 41, 43};
  const int shape[4][3] = {{0, 4, 7}, {0, 3, 7}, {0, 4, 7}, {0, 4, 7}};
  const int walk[8] = {0, 1, 2, 1, 0, 2, 1, 2};
  for (int bar = 0; bar < 8; ++bar) {
    int chord = bar % 4;
    int root = roots[chord];
    for (int step = 0; step < 8; ++step) {
      int octave = step >= 4 && bar >= 4 ? 24 : 12;
      int note = root + octave + shape[chord][walk[step]];
      lead.Event(0, {0x90, note, 96});
      lead.Event(eighth, {0x80, note, 0});
      hats.Event(0, {0x99, 42, step % 2 ? 60 : 90});
      hats.Event(eighth, {0x89, 42, 0});
    }
    for (int beat = 0; beat < 4; ++beat) {
      int note = root + (beat == 2 ? 7 : 0);
      bass.Event(0, {0x91, note, 100});
      bass.Event(quarter, {0x81, note, 0});
    }
  }
  std::string file = "MThd";
  PutBe32(file, 6);
  file += std::string("\x00\x01\x00\x04", 4);  // format 1, four tracks
  file += char(quarter >> 8);
  file += char(quarter & 0xFF);
  return file + conductor.Chunk() + lead.Chunk() + bass.Chunk() + hats.Chunk();
}

bool Save(const std::string& dir, const char* name, const std::string& bytes) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out << bytes;
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qavz-soundgen DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  if (!Save(dir, "jump.wav", Jump()) || !Save(dir, "coin.wav", Coin()) || !Save(dir, "music.mid", Music())) {
    std::fprintf(stderr, "qavz-soundgen: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
