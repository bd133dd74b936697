#include "platform/midi_synth.h"

#include <fluidsynth.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace qavz::platform {

namespace {

struct Synth {
  // Rendering and the player's state changes, which FluidSynth does not
  // order between threads itself.
  std::mutex mutex;
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  std::atomic<MidiControlFilter> filter{nullptr};
  std::atomic<void*> filterUser{nullptr};
};

Synth& S() {
  static Synth synth;
  return synth;
}

// Every message of the piece passes here on its way to the synthesiser.
int PlayEvent(void* data, fluid_midi_event_t* event) {
  Synth& s = *static_cast<Synth*>(data);
  if (fluid_midi_event_get_type(event) == 0xB0) {
    if (MidiControlFilter filter = s.filter.load()) {
      int value = filter(s.filterUser.load(), fluid_midi_event_get_channel(event),
                         fluid_midi_event_get_control(event), fluid_midi_event_get_value(event));
      fluid_midi_event_set_value(event, value);
    }
  }
  return fluid_synth_handle_midi_event(s.synth, event);
}

void Quiet() {
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
    fluid_set_log_function(level, nullptr, nullptr);
}

void DeletePlayer(Synth& s) {
  if (!s.player) return;
  fluid_player_stop(s.player);
  delete_fluid_player(s.player);
  s.player = nullptr;
  fluid_synth_all_sounds_off(s.synth, -1);
}

}  // namespace

bool OpenMidiSynth(const char* soundFont, int rate, bool* soundFontFailed) {
  Synth& s = S();
  std::lock_guard lock(s.mutex);
  *soundFontFailed = false;
  if (s.synth) return true;
  Quiet();
  s.settings = new_fluid_settings();
  if (!s.settings) return false;
  fluid_settings_setnum(s.settings, "synth.sample-rate", rate);
  // Samples are read as the piece's programs ask for them: a General MIDI
  // font is large, and a piece uses a few of its instruments.
  fluid_settings_setint(s.settings, "synth.dynamic-sample-loading", 1);
  // Controllers set between pieces (and between passes) stay set.
  fluid_settings_setint(s.settings, "player.reset-synth", 0);
  s.synth = new_fluid_synth(s.settings);
  if (!s.synth) {
    delete_fluid_settings(s.settings);
    s.settings = nullptr;
    return false;
  }
  if (!soundFont || fluid_synth_sfload(s.synth, soundFont, 1) == FLUID_FAILED) {
    *soundFontFailed = true;
    delete_fluid_synth(s.synth);
    delete_fluid_settings(s.settings);
    s.synth = nullptr;
    s.settings = nullptr;
    return false;
  }
  return true;
}

void CloseMidiSynth() {
  Synth& s = S();
  std::lock_guard lock(s.mutex);
  if (!s.synth) return;
  DeletePlayer(s);
  delete_fluid_synth(s.synth);
  delete_fluid_settings(s.settings);
  s.synth = nullptr;
  s.settings = nullptr;
}

bool MidiSynthOpen() {
  std::lock_guard lock(S().mutex);
  return S().synth != nullptr;
}

void SetMidiControlFilter(MidiControlFilter filter, void* user) {
  S().filterUser.store(user);
  S().filter.store(filter);
}

bool MidiPlayerLoad(const uint8_t* data, size_t size) {
  Synth& s = S();
  std::lock_guard lock(s.mutex);
  if (!s.synth) return false;
  DeletePlayer(s);
  s.player = new_fluid_player(s.synth);
  if (!s.player) return false;
  fluid_player_set_playback_callback(s.player, PlayEvent, &s);
  if (fluid_player_add_mem(s.player, data, size) != FLUID_OK) {
    DeletePlayer(s);
    return false;
  }
  return true;
}

void MidiPlayerUnload() {
  std::lock_guard lock(S().mutex);
  if (S().synth) DeletePlayer(S());
}

bool MidiPlayerStart(bool endless) {
  Synth& s = S();
  std::lock_guard lock(s.mutex);
  if (!s.player) return false;
  fluid_player_set_loop(s.player, endless ? -1 : 1);
  return fluid_player_play(s.player) == FLUID_OK;
}

void MidiPlayerHalt() {
  Synth& s = S();
  std::lock_guard lock(s.mutex);
  if (!s.player) return;
  fluid_player_stop(s.player);
  fluid_synth_all_sounds_off(s.synth, -1);
}

bool MidiPlayerPlaying() {
  Synth& s = S();
  std::lock_guard lock(s.mutex);
  return s.player && fluid_player_get_status(s.player) == FLUID_PLAYER_PLAYING;
}

void MidiControlChange(int channel, int controller, int value) {
  // The synthesiser orders its own calls: no need to wait for a render.
  if (fluid_synth_t* synth = S().synth) fluid_synth_cc(synth, channel, controller, value);
}

int MidiControlValue(int channel, int controller) {
  int value = 0;
  if (fluid_synth_t* synth = S().synth) fluid_synth_get_cc(synth, channel, controller, &value);
  return value;
}

void MidiReset() {
  Synth& s = S();
  std::lock_guard lock(s.mutex);
  if (s.synth) fluid_synth_system_reset(s.synth);
}

void RenderMidi(int16_t* out, int frames) {
  Synth& s = S();
  std::lock_guard lock(s.mutex);
  if (!s.synth) {
    std::memset(out, 0, size_t(frames) * 4);
    return;
  }
  fluid_synth_write_s16(s.synth, frames, out, 0, 2, out, 1, 2);
}

}  // namespace qavz::platform
