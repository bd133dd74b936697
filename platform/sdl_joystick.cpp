// Joysticks through SDL. Pads that SDL knows the layout of are read as game
// controllers: the left stick, the d-pad as full deflection, and buttons in
// the order a pad reports them to older programs (A, B, X, Y, shoulders,
// Back, Start, stick presses, Guide, then the triggers held past half way).
// Others are read as plain joysticks: axes 0 and 1, hat 0 as full
// deflection, buttons 1 to 32. Everything runs on the window thread.
#include <SDL.h>

#include <algorithm>
#include <vector>

#include "platform/joystick.h"

namespace qavz::platform {

namespace {

struct Pad {
  SDL_JoystickID id;
  SDL_Joystick* joystick;
  SDL_GameController* controller;  // null for a plain joystick
};

std::vector<Pad> gPads;  // in the order they were plugged in
bool gOpen = false;

constexpr SDL_GameControllerButton kPadButtons[] = {
    SDL_CONTROLLER_BUTTON_A,
    SDL_CONTROLLER_BUTTON_B,
    SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_Y,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
    SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_START,
    SDL_CONTROLLER_BUTTON_LEFTSTICK,
    SDL_CONTROLLER_BUTTON_RIGHTSTICK,
    SDL_CONTROLLER_BUTTON_GUIDE,
};

void Close(Pad& pad) {
  if (pad.controller) {
    SDL_GameControllerClose(pad.controller);
  } else if (pad.joystick) {
    SDL_JoystickClose(pad.joystick);
  }
}

bool Known(SDL_JoystickID id) {
  return std::any_of(gPads.begin(), gPads.end(), [id](const Pad& pad) { return pad.id == id; });
}

// Brings the list up to date: SDL looks for new devices as it updates, pads
// pulled out go, new ones are opened at the end.
void Sync() {
  SDL_JoystickUpdate();
  bool opened = false;
  for (auto it = gPads.begin(); it != gPads.end();) {
    if (SDL_JoystickGetAttached(it->joystick)) {
      ++it;
      continue;
    }
    Close(*it);
    it = gPads.erase(it);
  }
  for (int i = 0, n = SDL_NumJoysticks(); i < n; ++i) {
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    if (id < 0 || Known(id)) continue;
    Pad pad{id, nullptr, nullptr};
    if (SDL_IsGameController(i)) pad.controller = SDL_GameControllerOpen(i);
    pad.joystick = pad.controller ? SDL_GameControllerGetJoystick(pad.controller) : SDL_JoystickOpen(i);
    if (pad.joystick) gPads.push_back(pad);
    opened = true;
  }
  // A pad just opened reads its state from the next update on.
  if (opened) SDL_JoystickUpdate();
}

// A held direction pushes the stick to its end.
void Deflect(bool negative, bool positive, int32_t* axis) {
  if (negative != positive) *axis = negative ? -32768 : 32767;
}

void ReadController(SDL_GameController* c, JoystickReading* r) {
  r->x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
  r->y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
  Deflect(SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT),
          SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT), &r->x);
  Deflect(SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_UP),
          SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN), &r->y);
  uint32_t bit = 1;
  for (SDL_GameControllerButton button : kPadButtons) {
    if (SDL_GameControllerGetButton(c, button)) r->buttons |= bit;
    bit <<= 1;
  }
  for (SDL_GameControllerAxis trigger : {SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT}) {
    if (SDL_GameControllerGetAxis(c, trigger) > 16384) r->buttons |= bit;
    bit <<= 1;
  }
}

void ReadPlain(SDL_Joystick* j, JoystickReading* r) {
  int axes = SDL_JoystickNumAxes(j);
  if (axes > 0) r->x = SDL_JoystickGetAxis(j, 0);
  if (axes > 1) r->y = SDL_JoystickGetAxis(j, 1);
  if (SDL_JoystickNumHats(j) > 0) {
    Uint8 hat = SDL_JoystickGetHat(j, 0);
    Deflect(hat & SDL_HAT_LEFT, hat & SDL_HAT_RIGHT, &r->x);
    Deflect(hat & SDL_HAT_UP, hat & SDL_HAT_DOWN, &r->y);
  }
  int buttons = std::min(SDL_JoystickNumButtons(j), 32);
  for (int i = 0; i < buttons; ++i)
    if (SDL_JoystickGetButton(j, i)) r->buttons |= 1u << i;
}

}  // namespace

bool OpenSdlJoysticks() {
  if (gOpen) return true;
  // Polled like the old joystick calls: the state is read whatever window
  // has the focus.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0) return false;
  // Pads are polled (Sync updates them and finds new ones): their events
  // would only wake the window thread for nothing.
  SDL_JoystickEventState(SDL_IGNORE);
  SDL_GameControllerEventState(SDL_IGNORE);
  gOpen = true;
  return true;
}

void CloseSdlJoysticks() {
  if (!gOpen) return;
  for (Pad& pad : gPads) Close(pad);
  gPads.clear();
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
  gOpen = false;
}

int SdlJoystickCount() {
  if (!gOpen) return 0;
  Sync();
  return int(gPads.size());
}

bool ReadSdlJoystick(int index, JoystickReading* reading) {
  *reading = JoystickReading{};
  if (!gOpen) return false;
  Sync();
  if (index < 0 || size_t(index) >= gPads.size()) return false;
  const Pad& pad = gPads[size_t(index)];
  if (pad.controller) {
    ReadController(pad.controller, reading);
  } else {
    ReadPlain(pad.joystick, reading);
  }
  return true;
}

}  // namespace qavz::platform
