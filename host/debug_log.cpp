// The debug output natives. A line travels to the window thread as message
// 1026 and the script thread waits until it is in the list.
//
// The debug output window exists when "DebugMode" is on; its lines also go to
// standard output, which stands in for the window when there is no display,
// so the window "exists" then too.
#include "core/config.h"
#include "host/message_queue.h"
#include "vm/formatter.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

constexpr size_t kLineBuffer = 4096;  // the formatted line, terminator included

bool DebugOutputExists() { return Headless() || TheConfig().debugMode != 0; }

}  // namespace

// log_out(format, ...): one line, formatted as sprintf does.
int32_t Native_log_out(Addr args) {
  if (!DebugOutputExists()) return 0;
  std::string line = FormatScriptText(ArgAddr(args, 0), args + 4);
  if (line.size() >= kLineBuffer) line.resize(kLineBuffer - 1);
  SendMainMessage(Message{kMsgDebugLine, 0, 0, std::move(line)});
  return 1;
}

// log_clear(): empties the debug output window as its "クリア(&C)" button
// does; standard output keeps its lines.
int32_t Native_log_clear(Addr) {
  if (!DebugOutputExists()) return 0;
  SendMainMessage(Message{kMsgDebugClear, 0, 0, {}});
  return 1;
}

}  // namespace qavz
