// Messages for the window thread.
//
// Script threads never touch devices: they send a message here and wait while
// the window thread answers it. The window thread drains the queue from its
// event loop and from every wait of its own, so a request is always served.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/service_request.h"

namespace qavz {

// Private message ids of the runtime (the window-message numbers of old).
enum MessageId : uint32_t {
  kMsgClose = 0x0010,       // WM_CLOSE: run the exit sequence
  kMsgLoadMain = 1025,      // load the main program (text = path)
  kMsgDebugLine = 1026,     // append a line to the debug output (text)
  kMsgServiceFirst = 1124,  // ServiceRequest ids 1124..1214
  kMsgServiceLast = 1214,
  // This port's own: a second instance asks for the window; a script thread
  // has an error box shown by the thread that owns the window, has part of
  // the window repainted (update), or empties the debug output (log_clear).
  kMsgRaiseWindow = 0x8001,
  kMsgErrorBox = 0x8002,
  kMsgRepaint = 0x8003,  // wParam 1: the whole window; else `area`
  kMsgDebugClear = 0x8004,
  kMsgVideoPaint = 0x8005,  // media video: paint what its pictures changed
  kMsgWindowCall = 0x8006,  // a subsystem's work for the window thread (`call`)
  kMsgRestart = 0x8007,     // `qavz run --watch`: a source changed
  // The system natives' window work: menu_build, menu_draw, caption (text),
  // mbox (wParam the type, text the caption, a NUL and the text), setrgn
  // (the rectangles waiting in window_system.cpp) and setdrag.
  kMsgInstallMenu = 0x8008,
  kMsgDrawMenuBar = 0x8009,
  kMsgCaption = 0x800A,
  kMsgMessageBox = 0x800B,
  kMsgWindowShape = 0x800C,
  kMsgDragArea = 0x800D,
};

struct Message {
  uint32_t id = 0;
  int32_t wParam = 0;
  int32_t lParam = 0;
  std::string text;
  int32_t area[4] = {};       // kMsgRepaint: left, top, right, bottom
  WindowCall call = nullptr;  // kMsgWindowCall: run with wParam and lParam
};

// Answers one message on the window thread; the result goes back to a sender.
using MessageHandler = std::function<int32_t(const Message&)>;
void SetMessageHandler(MessageHandler handler);

// Queues a message and returns at once.
void PostMainMessage(Message message);
// Queues a message and blocks until the window thread has answered it; on the
// window thread itself the handler runs directly. Returns the answer, or 0
// when the queue has been shut (nobody will answer).
int32_t SendMainMessage(Message message);
// Window thread: answers every message waiting now; returns how many. A
// posted kMsgClose is handled like any other message.
int PumpMainMessages();
// True on the thread that owns the queue (the window thread).
bool OnMainThread();
// Makes the calling thread the window thread and opens the queue.
void BindMainThread();
// Refuses further sends (they return 0) and releases every waiting sender;
// used after the exit sequence so no script thread can block on a dead loop.
void ShutMainQueue();

// Called whenever a message is queued, so a sleeping event loop wakes up.
void SetMainWake(std::function<void()> wake);

}  // namespace qavz
