// The main window procedure's host messages, dispatched by id through a
// table; service requests go to the services' own table.
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "core/config.h"
#include "host/debug_window.h"
#include "host/main_window.h"
#include "host/runtime.h"
#include "host/script_threads.h"
#include "host/services.h"
#include "host/source_watch.h"
#include "host/video_window.h"
#include "host/window_system.h"
#include "host/window_view.h"
#include "platform/text_encoding.h"
#include "platform/video.h"

namespace qavz {

namespace {

constexpr char kErrorCaption[] = "QAV ERROR : Error";

bool gClosed = false;

// Close: handled once. Shut everything down, destroy the window, quit.
int32_t OnClose(const Message&) {
  if (gClosed) return 0;
  gClosed = true;
  StopDevicesAndServices();
  DestroyDebugWindow();
  platform::Video().destroyWindow();
  PostQuit(0);
  return 0;
}

int32_t OnLoadMain(const Message& message) {
  LoadMainProgram(message.text.c_str());
  return 0;
}

// A line for the debug output window; standard output gets it too, and
// stands in for the window when there is no display (see debug_log.cpp).
int32_t OnDebugLine(const Message& message) {
  if (!Headless() && TheConfig().debugMode == 0) return 0;
  std::string line = platform::ToUtf8(message.text);
  AppendDebugLine(line);
  std::fprintf(stdout, "%s\n", line.c_str());
  std::fflush(stdout);
  return 1;
}

int32_t OnDebugClear(const Message&) {
  ClearDebugLines();
  return 1;
}

int32_t OnRaiseWindow(const Message&) {
  platform::Video().restoreAndRaise();
  return 0;
}

// A box that cannot be shown (no display server, no font, a failing toolkit)
// must not lose its message or stop the run: it goes to standard error and the
// debug output instead, and counts as OK.
int ShowBoxOnThisThread(const char* utf8Text) {
  int result = platform::Video().messageBox(kErrorCaption, utf8Text, 0);
  if (result >= 0) return result;
  if (!Headless() && !std::getenv("QAVZ_LOG")) std::fprintf(stderr, "%s\n", utf8Text);
  PostMainMessage(Message{kMsgDebugLine, 0, 0, utf8Text});
  return 1;
}

int32_t OnErrorBox(const Message& message) { return ShowBoxOnThisThread(message.text.c_str()); }

int32_t OnWindowCall(const Message& message) {
  return message.call ? message.call(message.wParam, message.lParam) : 0;
}
int32_t OnRestart(const Message&) { return OnRestartMessage(); }

struct MessageRow {
  uint32_t id;
  int32_t (*handler)(const Message& message);
};

constexpr MessageRow kHostMessages[] = {
    {kMsgClose, OnClose},                   // WM_CLOSE: the exit sequence, once
    {kMsgLoadMain, OnLoadMain},             // 1025: load and start the main program
    {kMsgDebugLine, OnDebugLine},           // 1026: a line for the debug output
    {kMsgRaiseWindow, OnRaiseWindow},       // a second instance wants this window
    {kMsgErrorBox, OnErrorBox},             // an error box for a script thread
    {kMsgRepaint, OnRepaintMessage},        // update: paint part of the window now
    {kMsgDebugClear, OnDebugClear},         // log_clear: empty the debug output
    {kMsgVideoPaint, OnVideoPaintMessage},  // media video: paint its new picture
    {kMsgWindowCall, OnWindowCall},         // cursor natives: work on the window
    {kMsgRestart, OnRestart},               // run --watch: a source changed
    {kMsgInstallMenu, OnInstallMenu},       // menu_build: the new menu on the window
    {kMsgDrawMenuBar, OnDrawMenuBar},       // menu_draw: the bar drawn again
    {kMsgCaption, OnCaption},               // caption: the window's title
    {kMsgMessageBox, OnMessageBox},         // mbox: a box owned by the window
    {kMsgWindowShape, OnWindowShape},       // setrgn: the window's outline
    {kMsgDragArea, OnDragArea},             // setdrag: the colour that drags the window
};

}  // namespace

int32_t MainWindowProcedure(const Message& message) {
  if (message.id >= kMsgServiceFirst && message.id <= kMsgServiceLast) return HandleServiceRequest(message);
  for (const MessageRow& row : kHostMessages)
    if (row.id == message.id) return row.handler(message);
  return 0;
}

void ResetMainWindow() { gClosed = false; }

int ShowErrorBox(const char* utf8Text) {
  if (OnMainThread()) return ShowBoxOnThisThread(utf8Text);
  return SendMainMessage(Message{kMsgErrorBox, 0, 0, utf8Text});
}

}  // namespace qavz
