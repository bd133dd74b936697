#include "sound/midi_file.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>

namespace qavz {

namespace {

constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note
// Faster tempos make the player's tick arithmetic overflow: they are slowed
// to this (60,000 beats a minute).
constexpr uint32_t kFastestTempo = 1000;
// The player counts ticks in 32 bits.
constexpr uint64_t kLastTick = 0x7FFFFFFF;
constexpr uint32_t kLargestDelta = 0x0FFFFFFF;  // what four bytes can hold

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

struct Reader {
  const uint8_t* p;
  const uint8_t* end;
  bool Byte(uint8_t& b) {
    if (p >= end) return false;
    b = *p++;
    return true;
  }
  // A variable-length quantity: at most four bytes.
  bool Number(uint32_t& v) {
    v = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(b)) return false;
      v = v << 7 | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool Skip(uint32_t n, const uint8_t*& start) {
    if (uint64_t(end - p) < n) return false;
    start = p;
    p += n;
    return true;
  }
};

void PutNumber(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t bytes[4];
  int n = 0;
  do {
    bytes[n++] = uint8_t(v & 0x7F);
    v >>= 7;
  } while (v && n < 4);
  while (n-- > 0) out.push_back(uint8_t(bytes[n] | (n ? 0x80 : 0)));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

struct Track {
  std::vector<uint8_t> events;  // delta, status, data; no end-of-track yet
  uint64_t endTick = 0;
  uint32_t pending = 0;  // delta carried over events that were left out

  // Adds the time since the last event, carrying it in an empty text event
  // where it no longer fits one delta.
  void Wait(uint32_t delta) {
    if (uint64_t(pending) + delta > kLargestDelta) {
      PutNumber(events, pending);
      events.insert(events.end(), {0xFF, 0x01, 0x00});
      pending = 0;
    }
    pending += delta;
  }
  void Event(std::initializer_list<uint8_t> bytes) {
    PutNumber(events, pending);
    pending = 0;
    events.insert(events.end(), bytes);
  }
};

// Parses one track's events into `t`, keeping the tempo changes.
bool ReadTrack(Reader r, bool smpte, Track& t, std::multimap<uint64_t, uint32_t>& tempos) {
  uint8_t running = 0;
  uint64_t tick = 0;
  while (r.p < r.end) {
    uint32_t delta;
    uint8_t status;
    if (!r.Number(delta) || !r.Byte(status)) return false;
    tick += delta;
    t.Wait(delta);
    if (status < 0x80) {
      if (!running) return false;
      --r.p;
      status = running;
    }
    const uint8_t* body;
    if (status < 0xF0) {
      running = status;
      uint32_t n = (status & 0xE0) == 0xC0 ? 1 : 2;
      if (!r.Skip(n, body)) return false;
      if (n == 1)
        t.Event({status, uint8_t(body[0] & 0x7F)});
      else
        t.Event({status, uint8_t(body[0] & 0x7F), uint8_t(body[1] & 0x7F)});
    } else if (status == 0xF0 || status == 0xF7) {
      running = 0;
      uint32_t n;
      if (!r.Number(n) || !r.Skip(n, body)) return false;
      // Escaped bytes (F7) and empty messages are left out: the player
      // would refuse the whole piece for them.
      if (status == 0xF7 || n == 0) continue;
      t.Event({status});
      PutNumber(t.events, n);
      t.events.insert(t.events.end(), body, body + n);
    } else if (status == 0xFF) {
      running = 0;
      uint8_t type;
      uint32_t n;
      if (!r.Byte(type) || !r.Number(n) || !r.Skip(n, body)) return false;
      if (type == 0x2F) break;  // end of track: whatever follows is not played
      // Tempo changes are kept (SMPTE timing ignores them); other meta
      // events mean nothing to the player.
      if (type != 0x51 || n != 3 || smpte) continue;
      uint32_t tempo = std::max(uint32_t(body[0]) << 16 | uint32_t(body[1]) << 8 | body[2], kFastestTempo);
      tempos.emplace(tick, tempo);
      t.Event({0xFF, 0x51, 0x03, uint8_t(tempo >> 16), uint8_t(tempo >> 8), uint8_t(tempo)});
    } else {
      return false;  // system real-time and common messages have no place in a file
    }
    if (tick > kLastTick) return false;
  }
  t.endTick = tick;
  t.Event({0xFF, 0x2F, 0x00});
  return true;
}

// Microseconds from the start to `tick` under the tempo map.
double TimeOf(uint64_t tick, const std::multimap<uint64_t, uint32_t>& tempos, double division) {
  double us = 0;
  uint64_t at = 0;
  uint32_t tempo = kDefaultTempo;
  for (const auto& [when, value] : tempos) {
    if (when >= tick) break;
    us += double(when - at) * tempo / division;
    at = when;
    tempo = value;
  }
  return us + double(tick - at) * tempo / division;
}

// The standard MIDI file inside a RIFF "RMID" form, or the bytes themselves.
void Unwrap(const uint8_t*& data, size_t& size) {
  if (size < 20 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "RMID", 4) != 0) return;
  size_t at = 12;
  // A last chunk of odd length may lack its pad byte, so `at` can pass `size`.
  while (at < size && size - at >= 8) {
    uint32_t length = uint32_t(data[at + 4]) | uint32_t(data[at + 5]) << 8 | uint32_t(data[at + 6]) << 16 |
                      uint32_t(data[at + 7]) << 24;
    size_t available = size - at - 8;
    if (std::memcmp(data + at, "data", 4) == 0) {
      data += at + 8;
      size = std::min<size_t>(length, available);
      return;
    }
    if (length > available) return;
    at += 8 + length + (length & 1);
  }
}

}  // namespace

bool ReadMidiFile(const uint8_t* data, size_t size, MidiPiece& out) {
  if (!data) return false;
  Unwrap(data, size);
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return false;
  uint32_t headerLength = Be32(data + 4);
  if (headerLength < 6 || headerLength > size - 8) return false;
  uint16_t format = Be16(data + 8);
  uint16_t declared = Be16(data + 10);
  uint16_t division = Be16(data + 12);
  if (division == 0 || format > 2) return false;
  const bool smpte = division & 0x8000;
  uint16_t ticksPerQuarter = division;
  if (smpte) {
    // Frames per second times ticks per frame become quarter notes of one
    // second with that many ticks.
    int fps = -int8_t(division >> 8);
    int perFrame = division & 0xFF;
    if (fps <= 0 || perFrame == 0) return false;
    ticksPerQuarter = uint16_t(fps * perFrame);
  }

  std::vector<Track> tracks;
  std::multimap<uint64_t, uint32_t> tempos;
  size_t at = 8 + size_t(headerLength);
  while (tracks.size() < declared && size - at >= 8) {
    uint32_t length = Be32(data + at + 4);
    if (length > size - at - 8) return false;
    if (std::memcmp(data + at, "MTrk", 4) == 0) {
      Track t;
      if (!ReadTrack(Reader{data + at + 8, data + at + 8 + length}, smpte, t, tempos)) return false;
      tracks.push_back(std::move(t));
    }
    at += 8 + size_t(length);
  }
  if (tracks.empty() || tracks.size() > 0xFFFF) return false;

  if (smpte) tempos = {{0, 1000000}};
  MidiPiece piece;
  piece.tracks = int(tracks.size());
  uint64_t endTick = 0;
  for (const Track& t : tracks) endTick = std::max(endTick, t.endTick);
  piece.lengthMicroseconds = int64_t(std::min(TimeOf(endTick, tempos, ticksPerQuarter), 9.0e18));
  if (smpte) {
    // One second per quarter note from the start.
    static const uint8_t kOneSecond[] = {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40};
    tracks[0].events.insert(tracks[0].events.begin(), std::begin(kOneSecond), std::end(kOneSecond));
  }
  std::vector<uint8_t>& f = piece.file;
  f.insert(f.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6});
  uint16_t fileFormat = tracks.size() == 1 ? 0 : (format == 2 ? 2 : 1);
  f.insert(f.end(), {uint8_t(fileFormat >> 8), uint8_t(fileFormat), uint8_t(tracks.size() >> 8),
                     uint8_t(tracks.size()), uint8_t(ticksPerQuarter >> 8), uint8_t(ticksPerQuarter)});
  for (const Track& t : tracks) {
    f.insert(f.end(), {'M', 'T', 'r', 'k'});
    Put32(f, uint32_t(t.events.size()));
    f.insert(f.end(), t.events.begin(), t.events.end());
  }
  out = std::move(piece);
  return true;
}

}  // namespace qavz
