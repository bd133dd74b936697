// Reading standard MIDI files: lengths under tempo maps, the plain form the
// player gets, and files that must be refused.
#include "sound/midi_file.h"

#include "sound_test_support.h"

namespace qavz::test {
namespace {

MidiPiece Read(const std::string& bytes) {
  MidiPiece piece;
  EXPECT_TRUE(ReadMidiFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), piece));
  return piece;
}

bool Refused(const std::string& bytes) {
  MidiPiece piece;
  return !ReadMidiFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), piece);
}

TEST(MidiFile, LengthFollowsTheTempoMap) {
  // 960 ticks at the default 500000 us a quarter (480 a quarter): 1 s.
  EXPECT_EQ(Read(TestPiece(1000)).lengthMicroseconds, 1000000);
  // A tempo change to 250000 after 480 ticks: 0.5 s + 0.25 s.
  std::string tempo =
      Ev(0, {0x90, 60, 1}) + Ev(480, {0xFF, 0x51, 3, 0x03, 0xD0, 0x90}) + Ev(480, {0x80, 60, 0});
  EXPECT_EQ(Read(Smf(0, 480, {Track(tempo)})).lengthMicroseconds, 750000);
  // Format 1: the tempo in track 0 governs the longest other track.
  std::string conductor = Ev(0, {0xFF, 0x51, 3, 0x0F, 0x42, 0x40});  // 1 s a quarter
  std::string notes = Ev(0, {0x90, 60, 1}) + Ev(960, {0x80, 60, 0});
  MidiPiece two = Read(Smf(1, 480, {Track(conductor), Track(notes)}));
  EXPECT_EQ(two.lengthMicroseconds, 2000000);
  EXPECT_EQ(two.tracks, 2);
}

TEST(MidiFile, SmpteTimingBecomesATempo) {
  // 25 frames a second, 40 ticks a frame: 1000 ticks a second.
  std::string notes = Ev(0, {0x90, 60, 1}) + Ev(1500, {0x80, 60, 0});
  MidiPiece piece = Read(Smf(0, uint16_t(0xE728), {Track(notes)}));
  EXPECT_EQ(piece.lengthMicroseconds, 1500000);
  MidiPiece again = Read(std::string(piece.file.begin(), piece.file.end()));
  EXPECT_EQ(again.lengthMicroseconds, 1500000);
}

TEST(MidiFile, RunningStatusAndRmidAreRead) {
  std::string running =
      Ev(0, {0x90, 60, 100}) + Ev(10, {62, 100}) + Ev(10, {64, 100}) + Ev(940, {0x80, 60, 0});
  std::string smf = Smf(0, 480, {Track(running)});
  MidiPiece piece = Read(smf);
  EXPECT_EQ(piece.lengthMicroseconds, 1000000);
  // The plain form spells every status out and reads back the same.
  MidiPiece again = Read(std::string(piece.file.begin(), piece.file.end()));
  EXPECT_EQ(again.file, piece.file);
  std::string rmid = "RIFF" + std::string(4, '\0') + "RMIDdata";
  rmid += char(smf.size() & 0xFF);
  rmid += char(smf.size() >> 8 & 0xFF);
  rmid += std::string(2, '\0') + smf;
  EXPECT_EQ(Read(rmid).lengthMicroseconds, 1000000);
  // An odd-length last chunk without its pad byte ends the search in bounds.
  std::string odd =
      "RIFF" + std::string(4, '\0') + "RMIDLIST" + std::string("\x09\0\0\0", 4) + std::string(9, ';');
  MidiPiece none;
  EXPECT_FALSE(ReadMidiFile(reinterpret_cast<const uint8_t*>(odd.data()), odd.size(), none));
}

TEST(MidiFile, EscapedBytesAndEmptySystemMessagesAreLeftOut) {
  std::string events = Ev(0, {0xF0, 3, 0x7E, 0x09, 0xF7}) + Ev(10, {0xF7, 2, 0x90, 0x3C}) +
                       Ev(10, {0xF0, 0}) + Ev(10, {0x90, 60, 1}) + Ev(450, {0x80, 60, 0});
  MidiPiece piece = Read(Smf(0, 480, {Track(events)}));
  EXPECT_EQ(piece.lengthMicroseconds, 500000);
  // Header, track header, the sysex (6 bytes), the note with the carried
  // delta (4), the note off (5), end of track (4).
  EXPECT_EQ(piece.file.size(), 14u + 8u + 6u + 4u + 5u + 4u);
}

TEST(MidiFile, LongWaitsOverDroppedEventsSurvive) {
  // Meta events that are left out carry their delta times forward.
  std::string events = Ev(0, {0x90, 60, 1});
  for (int i = 0; i < 3; ++i) events += Ev(0x0FFFFFFF, {0xFF, 0x01, 0x01, 'x'});
  events += Ev(0, {0x80, 60, 0});
  MidiPiece piece = Read(Smf(0, 0x7FFF, {Track(events)}));
  MidiPiece again = Read(std::string(piece.file.begin(), piece.file.end()));
  EXPECT_EQ(again.lengthMicroseconds, piece.lengthMicroseconds);
  EXPECT_GT(piece.lengthMicroseconds, 0);
}

std::vector<std::pair<const char*, std::string>> BadPieces() {
  std::string good = TestPiece(500);
  std::string truncated = good.substr(0, good.size() - 5);
  std::string overlong = good;
  overlong[21] = char(0x7F);  // the track claims far more bytes than follow
  return {
      {"empty", ""},
      {"not MIDI", "RIFF0000WAVEfmt "},
      {"short header", "MThd" + Be32(4) + Be16(0) + Be16(1)},
      {"no tracks", Smf(0, 480, {})},
      {"division 0", Smf(0, 0, {Track(Ev(0, {0x90, 60, 1}))})},
      {"format 3", Smf(3, 480, {Track(Ev(0, {0x90, 60, 1}))})},
      {"truncated track", truncated},
      {"track longer than the file", overlong},
      {"data byte without a status", Smf(0, 480, {Track(Ev(0, {60, 100}))})},
      {"event cut short", Smf(0, 480, {Track(Ev(0, {0x90, 60}), false)})},
      {"five-byte delta", Smf(0, 480, {Track(std::string("\x81\x81\x81\x81\x01\x90\x3C\x01", 8))})},
      {"sysex past the end", Smf(0, 480, {Track(Ev(0, {0xF0, 0x7F, 1, 2}), false)})},
      {"meta past the end", Smf(0, 480, {Track(Ev(0, {0xFF, 0x03, 0x40, 'a'}), false)})},
      {"real-time status", Smf(0, 480, {Track(Ev(0, {0xF8}))})},
      {"longer than the player counts",
       Smf(0, 480,
           {Track(Ev(0x0FFFFFFF, {0x90, 1, 1}) + Ev(0x0FFFFFFF, {0x80, 1, 0}) + Ev(0x0FFFFFFF, {0x90, 1, 1}) +
                  Ev(0x0FFFFFFF, {0x80, 1, 0}) + Ev(0x0FFFFFFF, {0x90, 1, 1}) + Ev(0x0FFFFFFF, {0x80, 1, 0}) +
                  Ev(0x0FFFFFFF, {0x90, 1, 1}) + Ev(0x0FFFFFFF, {0x80, 1, 0}) +
                  Ev(0x0FFFFFFF, {0x90, 1, 1}))})},
  };
}

TEST(MidiFile, MalformedFilesAreRefused) {
  for (const auto& [what, bytes] : BadPieces()) EXPECT_TRUE(Refused(bytes)) << what;
}

}  // namespace
}  // namespace qavz::test
