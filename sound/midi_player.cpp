#include "sound/midi_player.h"

#include <filesystem>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/data_files.h"
#include "core/ini.h"
#include "core/report_error.h"
#include "platform/audio_out.h"
#include "platform/devices.h"
#include "platform/midi_synth.h"
#include "platform/path_map.h"
#include "sound/messages.h"
#include "sound/midi_file.h"
#include "sound/pcm_stream.h"
#include "vm/arena.h"

namespace qavz {

namespace {

// Where Debian's General MIDI SoundFont is; the title's "[qavz]" key
// "SoundFont" names another.
constexpr const char* kSoundFonts[] = {"/usr/share/sounds/sf2/default-GM.sf2",
                                       "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
// The synthesiser renders a little ahead: four pieces of about 23 ms.
constexpr int kChunkFrames = 1024;
constexpr int kChunks = 4;
constexpr int64_t kReferencePerSecond = 10000000;  // 100-nanosecond units

struct MidiState {
  bool on = false;
  PcmStream stream;
  bool loaded = false;
  std::vector<uint8_t> piece;  // the file as the player gets it
  int64_t length = 0;          // one pass, reference time
  MidiVolumeTool tool;
  int32_t repeat = 0;
  int32_t pauseCount = 0;
  bool started = false;  // the player is playing this pass (the segment state)
  bool endless = false;  // this play repeats the piece
  bool atStart = true;   // the player stands at the start of the piece
  int64_t startReference = 0;
  int64_t pausedReference = 0;
};

MidiState& M() {
  static MidiState state;
  return state;
}

size_t PullSynth(void*, uint8_t* out, size_t bytes, bool*) {
  platform::RenderMidi(reinterpret_cast<int16_t*>(out), int(bytes / 4));
  return bytes;
}

int FilterControl(void* user, int channel, int controller, int value) {
  return static_cast<MidiVolumeTool*>(user)->Process(channel, controller, value);
}

// Reference time: what the piece's stream has played, so the clock stops
// with the stream and with the output (while the application is inactive).
int64_t Now() {
  MidiState& m = M();
  return m.stream.FramesPlayed() * kReferencePerSecond / m.stream.Format().rate;
}

// Starts the player from where it stands; a player back at the start gets
// the piece afresh. A piece with no length never repeats: it would turn
// on the spot.
bool Start() {
  MidiState& m = M();
  if (m.atStart && !platform::MidiPlayerLoad(m.piece.data(), m.piece.size())) return false;
  m.atStart = false;
  m.endless = m.repeat != 0 && m.length > 0;
  if (!platform::MidiPlayerStart(m.endless)) return false;
  m.stream.Play();
  m.started = true;
  m.startReference = Now();
  return true;
}

void StopPiece() {
  MidiState& m = M();
  platform::MidiPlayerHalt();
  m.stream.Stop();
  m.started = false;
  m.atStart = true;
  m.pausedReference = 0;
}

// Time played in this play, pauses left out.
int64_t Elapsed() { return Now() + M().pausedReference - M().startReference; }

// A piece that does not repeat has ended once its length has been heard.
bool Playing() {
  MidiState& m = M();
  return m.loaded && m.started && platform::MidiPlayerPlaying() && (m.endless || Elapsed() < m.length);
}

}  // namespace

std::string SoundFontPath() {
  std::string named = IniGetString(ThePaths().configFile, "qavz", "SoundFont", "");
  if (!named.empty()) return platform::MapPath(named);
  for (const char* path : kSoundFonts) {
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)) return path;
  }
  return kSoundFonts[0];
}

void MidiVolumeTool::Reset() {
  std::lock_guard lock(lock_);
  volume_ = 100;
  master_ = 100;
  for (int& v : stored_) v = 127;
}

int MidiVolumeTool::Process(int channel, int controller, int value) {
  if (controller != 7 || channel < 0 || channel > 15) return value;
  std::lock_guard lock(lock_);
  stored_[channel] = value;
  return value * master_ * volume_ / 10000;
}

void MidiVolumeTool::SetVolume(int volume, int (&channelVolumes)[16]) {
  std::lock_guard lock(lock_);
  volume_ = volume;
  for (int c = 0; c < 16; ++c) channelVolumes[c] = stored_[c] * volume_ * master_ / 10000;
}

int MidiVolumeTool::Volume() {
  std::lock_guard lock(lock_);
  return volume_;
}

bool StartMidiOutput() {
  MidiState& m = M();
  if (m.on) return true;
  if (!platform::OpenDevice(platform::Device::kMusic, Headless())) {
    ReportError(kLevelFault, "%s", msg::kPerformanceInitFailed);
    return false;
  }
  const int rate = platform::AudioOutputRate();
  bool fontFailed = false;
  std::string font = SoundFontPath();
  if (!platform::OpenMidiSynth(font.c_str(), rate, &fontFailed) ||
      !m.stream.Open(platform::PcmFormat{2, rate, 16}, kChunkFrames, kChunks, PullSynth, nullptr)) {
    ReportError(kLevelFault, "%s", fontFailed ? msg::kPortFailed : msg::kPerformanceInitFailed);
    platform::CloseMidiSynth();
    platform::CloseDevice(platform::Device::kMusic);
    return false;
  }
  platform::SetMidiControlFilter(FilterControl, &m.tool);
  m.on = true;
  return true;
}

void StopMidiOutput() {
  MidiState& m = M();
  if (!m.on) return;
  FreeMidiPiece();
  m.stream.Close();
  platform::SetMidiControlFilter(nullptr, nullptr);
  platform::CloseMidiSynth();
  platform::CloseDevice(platform::Device::kMusic);
  m.on = false;
}

bool MidiOutputOn() { return M().on; }

void FreeMidiPiece() {
  MidiState& m = M();
  if (!m.loaded) return;
  StopPiece();
  platform::MidiPlayerUnload();
  m.loaded = false;
  m.piece.clear();
  m.piece.shrink_to_fit();
  m.pauseCount = 0;
  m.tool.Reset();
}

int32_t Op_midi_load(int32_t, int32_t pathAddress) {
  MidiState& m = M();
  std::string path;
  if (!m.on || pathAddress == 0 || !TheArena().ReadString(Addr(pathAddress), path, 4096) || path.empty())
    return 0;
  FreeMidiPiece();
  std::vector<uint8_t> bytes;
  if (LoadDataFile(path.c_str(), bytes) != DataFileResult::kOk) return 0;
  MidiPiece piece;
  if (!ReadMidiFile(bytes.data(), bytes.size(), piece)) return 0;
  m.piece = std::move(piece.file);
  m.length = piece.lengthMicroseconds * 10;
  // The player takes a copy: a piece it refuses is not loaded.
  if (!platform::MidiPlayerLoad(m.piece.data(), m.piece.size())) {
    m.piece.clear();
    return 0;
  }
  m.tool.Reset();
  platform::MidiReset();
  m.loaded = true;
  m.atStart = true;
  m.pauseCount = 0;
  m.started = false;
  m.pausedReference = 0;
  return 1;
}

int32_t Op_midi_free(int32_t, int32_t) {
  FreeMidiPiece();
  return 1;
}

int32_t Op_midi_play(int32_t, int32_t) {
  MidiState& m = M();
  if (!m.loaded) return 1;
  m.pauseCount = 0;
  StopPiece();
  return Start() ? 1 : 0;
}

int32_t Op_midi_stop(int32_t, int32_t) {
  if (M().loaded) StopPiece();
  return 1;
}

int32_t Op_midi_pause(int32_t, int32_t) {
  MidiState& m = M();
  if (m.pauseCount > 0) {
    ++m.pauseCount;
    return 1;
  }
  if (!Playing()) return 1;
  m.pauseCount = 1;
  platform::MidiPlayerHalt();
  m.stream.Pause();
  m.pausedReference += Now() - m.startReference;
  m.started = false;
  return 1;
}

int32_t Op_midi_replay(int32_t, int32_t) {
  MidiState& m = M();
  if (!m.loaded || m.pauseCount == 0) return 1;
  if (--m.pauseCount == 0) Start();
  return 1;
}

int32_t Op_midi_setvol(int32_t, int32_t volume) {
  MidiState& m = M();
  if (!m.loaded) return 1;
  if (volume < 0) volume = 0;
  if (volume > 100) volume = 100;
  int channels[16];
  m.tool.SetVolume(volume, channels);
  // Sent outside the tool's lock: the synthesiser may be inside the tool.
  for (int c = 0; c < 16; ++c) platform::MidiControlChange(c, 7, channels[c]);
  return 1;
}

int32_t Op_midi_getvol(int32_t, int32_t) { return M().loaded ? M().tool.Volume() : 0; }

int32_t Op_midi_isplay(int32_t, int32_t) { return Playing() ? 1 : 0; }

int32_t Op_midi_getpos(int32_t, int32_t) {
  MidiState& m = M();
  if (!Playing()) return 0;
  int64_t position = Elapsed();
  if (m.length > 0) position %= m.length;
  return int32_t(position / 10000);
}

int32_t Op_midi_repeat(int32_t repeat, int32_t) {
  M().repeat = repeat;
  return 1;
}

}  // namespace qavz
