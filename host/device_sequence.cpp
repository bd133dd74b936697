// The device and service start-up and the exit sequence, as tables in the
// order they run. A row with a configuration flag runs only when the flag is
// on (or, for `whenOff`, only when it is off).
#include "core/config.h"
#include "core/math_tables.h"
#include "core/service_hooks.h"
#include "host/display_mode.h"
#include "host/runtime.h"
#include "host/script_threads.h"
#include "input/input_devices.h"
#include "net/socket_layer.h"
#include "platform/devices.h"
#include "sound/services.h"
#include "vm/external_data.h"

namespace qavz {

namespace {

StepObserver gObserver = nullptr;
bool gStopped = false;

using platform::Device;

template <Device device>
void Open() {
  platform::OpenDevice(device, Headless());
}
template <Device device>
void Close() {
  platform::CloseDevice(device);
}

// Input: the platform device, then the input subsystem on it.
template <InputBackEnd backEnd>
void OpenInput() {
  Device device = backEnd == InputBackEnd::kDirectInput ? Device::kInput : Device::kJoystick;
  StartInput(backEnd, platform::OpenDevice(device, Headless()));
}
template <Device device>
void CloseInput() {
  StopInput();
  platform::CloseDevice(device);
}

struct SequenceStep {
  const char* name;
  int32_t Config::*flag;  // null: always
  void (*run)();
  bool whenOff = false;
};

constexpr SequenceStep kStartUp[] = {
    {"math tables", nullptr, BuildMathTables},
    {"Net", &Config::net, StartSocketLayer},
    {"Draw", &Config::draw, CreateDisplayModeObject},
    {"Sound", &Config::sound, StartSoundDevice},
    {"Music", &Config::music, StartMusicDevice},
    {"Input", &Config::input, OpenInput<InputBackEnd::kDirectInput>},
    {"joystick", &Config::input, OpenInput<InputBackEnd::kPlain>, true},
    {"CD", &Config::cd, StartCdDevice},
    {"external data", nullptr, [] { AllocateExternalData(TheConfig().heapSize); }},
    {"services", nullptr, StartServices},
    {"thread table", nullptr, ClearThreadTable},
    {"colour tables", nullptr, InitColourTables},
    {"random seed", nullptr, SeedRandomFromTicks},
};

constexpr SequenceStep kExit[] = {
    {"stop media", nullptr, StopMedia},
    {"stop threads", nullptr, StopAllThreads},
    {"shut services", nullptr, ShutdownServices},
    {"free external data", nullptr, FreeExternalData},
    {"release CD", &Config::cd, StopCdDevice},
    {"release Input", &Config::input, CloseInput<Device::kInput>},
    {"release joystick", &Config::input, CloseInput<Device::kJoystick>, true},
    {"release Music", &Config::music, StopMusicDevice},
    {"release Sound", &Config::sound, StopSoundDevice},
    {"release Draw", &Config::draw, ReleaseDisplayModeObject},
    {"release Net", &Config::net, StopSocketLayer},
    {"free math tables", nullptr, FreeMathTables},
};

template <size_t N>
void RunSequence(const SequenceStep (&steps)[N]) {
  const Config& config = TheConfig();
  for (const SequenceStep& step : steps) {
    if (step.flag && (config.*step.flag != 0) == step.whenOff) continue;
    ObserveStep(step.name);
    step.run();
  }
}

}  // namespace

void SetStepObserver(StepObserver observer) { gObserver = observer; }

void ObserveStep(const char* step) {
  if (gObserver) gObserver(step);
}

void StartDevicesAndServices() {
  gStopped = false;
  RunSequence(kStartUp);
}

void StopDevicesAndServices() {
  if (gStopped) return;
  gStopped = true;
  RunSequence(kExit);
}

}  // namespace qavz
