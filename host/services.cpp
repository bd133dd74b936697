// The window-thread services.
//
// Natives on script threads never touch a device: they send a ServiceRequest
// (ids 1124..1214) and wait while the window thread runs the device operation
// installed for that id. The table below fixes each id's native and where its
// two parameters come from; the device subsystems install the operations.
#include "host/services.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "compiler/compiler.h"
#include "core/config.h"
#include "core/service_hooks.h"
#include "core/service_request.h"
#include "files/system_file.h"
#include "host/source_watch.h"
#include "vm/interpreter.h"
#include "vm/native_dispatch.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

// Where a request parameter comes from.
enum class From : uint8_t {
  kZero,   // 0
  kArg0,   // the native's argument 0
  kArg1,   // the native's argument 1
  kBytes,  // the constant 256 (size of the key-state buffer)
};

struct ServiceRow {
  uint16_t id;
  const char* native;
  From wParam;
  From lParam;
};

using F = From;
constexpr ServiceRow kServiceRows[] = {
    {1124, "cd_play", F::kArg0, F::kArg1},       // start CD play
    {1125, "cd_stop", F::kZero, F::kArg0},       // stop CD play
    {1126, "cd_pause", F::kZero, F::kZero},      // pause CD play
    {1127, "cd_replay", F::kZero, F::kZero},     // resume CD play
    {1128, "cd_setvol", F::kZero, F::kArg0},     // set CD volume
    {1129, "cd_getvol", F::kZero, F::kZero},     // get CD volume
    {1130, "cd_isplay", F::kZero, F::kZero},     // is the CD playing
    {1131, "cd_getpos", F::kZero, F::kArg0},     // get CD position
    {1132, "cd_getlen", F::kArg0, F::kZero},     // get CD length
    {1133, "cd_repeat", F::kArg0, F::kZero},     // set CD repeat
    {1134, "cd_eject", F::kZero, F::kZero},      // eject the disc
    {1144, "midi_load", F::kZero, F::kArg0},     // load a MIDI file
    {1145, "midi_free", F::kZero, F::kZero},     // free the MIDI file
    {1146, "midi_play", F::kZero, F::kArg0},     // play
    {1147, "midi_stop", F::kZero, F::kArg0},     // stop
    {1148, "midi_pause", F::kZero, F::kZero},    // pause
    {1149, "midi_replay", F::kZero, F::kZero},   // resume
    {1150, "midi_setvol", F::kZero, F::kArg0},   // set volume
    {1151, "midi_getvol", F::kZero, F::kZero},   // get volume
    {1152, "midi_isplay", F::kZero, F::kZero},   // is it playing
    {1153, "midi_getpos", F::kZero, F::kZero},   // get position
    {1154, "midi_repeat", F::kArg0, F::kZero},   // set repeat
    {1164, "snd_load", F::kArg0, F::kArg1},      // load a sound into a slot
    {1165, "snd_free", F::kArg0, F::kZero},      // free a slot (-1: all)
    {1166, "snd_play", F::kArg0, F::kArg1},      // play a slot
    {1167, "snd_stop", F::kArg0, F::kZero},      // stop a slot
    {1168, "snd_pause", F::kArg0, F::kZero},     // pause a slot
    {1169, "snd_replay", F::kArg0, F::kZero},    // resume a slot
    {1170, "snd_setvol", F::kArg0, F::kArg1},    // set a slot's volume
    {1171, "snd_getvol", F::kArg0, F::kZero},    // get a slot's volume
    {1172, "snd_isplay", F::kArg0, F::kZero},    // is a slot playing
    {1173, "snd_setloop", F::kArg0, F::kArg1},   // set a slot's loop
    {1174, "snd_getpos", F::kArg0, F::kZero},    // get a slot's position
    {1184, "media_open", F::kArg0, F::kZero},    // open a media file
    {1185, "media_close", F::kZero, F::kZero},   // close it
    {1186, "media_play", F::kZero, F::kZero},    // play
    {1187, "media_stop", F::kZero, F::kZero},    // stop
    {1188, "media_pause", F::kZero, F::kZero},   // pause
    {1189, "media_replay", F::kZero, F::kZero},  // resume
    {1190, "media_isplay", F::kZero, F::kZero},  // is it playing
    {1191, "media_repeat", F::kArg0, F::kZero},  // set repeat
    {1192, "media_size", F::kArg0, F::kZero},    // video rectangle (0: whole client area)
    {1193, "media_setvol", F::kZero, F::kArg0},  // set volume
    {1194, "getkey", F::kArg0, F::kBytes},       // fill the 256-byte key-state buffer
    {1195, "getjoy", F::kArg0, F::kArg1},        // read a joystick into a record
    {1196, "getmouse", F::kZero, F::kArg0},      // read the mouse into a record
    {1204, "setsystem", F::kArg1, F::kZero},     // "fullscreen": switch the display mode
    {1214, nullptr, F::kArg0, F::kZero},         // information block for extensions
};
static_assert(std::size(kServiceRows) == 48, "48 service requests");

constexpr int kIdCount = kMsgServiceLast - kMsgServiceFirst + 1;

const ServiceRow* FindRow(uint32_t id) {
  for (const ServiceRow& row : kServiceRows)
    if (row.id == id) return &row;
  return nullptr;
}

int32_t Place(From from, Addr args) {
  switch (from) {
    case From::kArg0:
      return Arg(args, 0);
    case From::kArg1:
      return Arg(args, 1);
    case From::kBytes:
      return 256;
    case From::kZero:
      break;
  }
  return 0;
}

std::atomic<uint32_t> gInstance{0};
std::atomic<uint32_t> gWindow{0};

// Request 1214: the seven-word block through which an extension library finds
// the runtime's flags and window. All of it or nothing is written.
int32_t FillExtensionBlock(int32_t wParam, int32_t) {
  Addr block = Addr(wParam);
  Arena& arena = TheArena();
  if (block == 0 || !arena.Live(block, 28)) return 0;
  const Config& config = TheConfig();
  const uint32_t words[7] = {StopFlagAddress(),     ActiveFlagAddress(),    gInstance.load(),
                             gWindow.load(),        uint32_t(config.width), uint32_t(config.height),
                             uint32_t(config.depth)};
  for (int i = 0; i < 7; ++i) arena.Write<uint32_t>(block + 4u * uint32_t(i), words[i]);
  return 0;
}

// Operations by id - 1124; request 1214 is the runtime's own.
std::array<std::atomic<ServiceOperation>, kIdCount> gOperations{};

std::atomic<ServiceOperation>& OperationFor(uint32_t id) {
  static const bool ownInstalled = [] {
    gOperations[1214 - kMsgServiceFirst].store(&FillExtensionBlock);
    return true;
  }();
  (void)ownInstalled;
  return gOperations[id - kMsgServiceFirst];
}

std::atomic<bool> gSubclassed{false};

int32_t SendWithParams(uint32_t id, int32_t wParam, int32_t lParam) noexcept {
  if (!FindRow(id)) return 0;
  try {
    return SendMainMessage(Message{id, wParam, lParam, {}});
  } catch (...) {
    return 0;
  }
}

int32_t SendFromArgs(uint32_t id, uint32_t args) noexcept {
  const ServiceRow* row = FindRow(id);
  if (!row) return 0;
  return SendWithParams(id, Place(row->wParam, args), Place(row->lParam, args));
}

// Work of a subsystem that must run where the window lives.
int32_t SendWindowCall(WindowCall call, int32_t a, int32_t b) noexcept {
  try {
    Message message{kMsgWindowCall, a, b, {}};
    message.call = call;
    return SendMainMessage(std::move(message));
  } catch (...) {
    return 0;
  }
}

}  // namespace

void InstallServiceRequests() noexcept {
  InstallServiceSender(ServiceSender{&SendFromArgs, &SendWithParams, &SendWindowCall});
}

int32_t HandleServiceRequest(const Message& message) {
  if (message.id < kMsgServiceFirst || message.id > kMsgServiceLast) return 0;
  ServiceOperation op = OperationFor(message.id).load();
  return op ? op(message.wParam, message.lParam) : 0;
}

bool SetServiceOperation(uint32_t id, ServiceOperation operation) {
  if (!FindRow(id)) return false;
  OperationFor(id).store(operation);
  return true;
}

void SetHostHandles(uint32_t instance, uint32_t window) {
  gInstance.store(instance);
  gWindow.store(window);
}

bool ServicesStarted() { return gSubclassed.load(); }

void StartServices() {
  ShutdownServices();
  // Programs compiled from now on must not link to functions of the last run.
  ClearExternRegistry();
  // NativeLock is a process-wide mutex: nothing to create.
  gSubclassed.store(true);
  ResetDllTable();
  ResetMenuTable();
  CreatePalette();
  ResetFontState();
  ClosePackFiles();
  FreeScriptHeap();
  ResetSprites();
  SetTrapHandler(&DispatchNative);
}

void ShutdownServices() {
  // No script runs any more: the block holds its final contents now, and
  // the steps below may free the memory it lives in.
  CaptureSystemFile();
  CloseMedia();
  FreeAllSounds();
  FreeMidi();
  StopCd();
  CloseAllConnections();
  FreeAllPatterns();
  FreeScriptHeap();
  ClosePackFiles();
  FreeFonts();
  FreePagesAndSurfaces();
  UnloadAllDlls();
  FreeEffectStates();
  gSubclassed.store(false);
  // NativeLock stays: it is a process-wide mutex, not created per run.
  WriteSystemFile();
}

void LoadMainProgram(const char* path) {
  BeginRun();
  if (!path || !*path) return;
  const Config& config = TheConfig();
  MachineContext* context = LoadProgram(path, config.programSize, config.stackSize);
  NoteCompiledSources();
  if (!context) {
    MarkCompileFailed();
    return;
  }
  if (StartMainThread(context) < 0) FreeContext(context);
}

void RestartProgram() {
  StopMedia();
  StopAllThreads();
  StartServices();
  PostMainMessage(Message{kMsgLoadMain, 0, 0, ThePaths().mainScript});
}

}  // namespace qavz
