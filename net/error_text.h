// Socket failures as the titles know them: the error numbers of the socket
// layer they were written for, each with its fixed text.
#pragma once

#include <cstdint>

#include "platform/sockets.h"

namespace qavz {

// Codes of the socket layer's own conditions, which no system call gives.
enum : int32_t { kSocketLayerNotStarted = 10093 };

// The number of a failure (10004..11004), or 0 for one the table lacks.
int32_t SocketErrorCode(platform::SocketError error) noexcept;
// The text for a number; "未定義エラー" for any number not in the table.
const char* SocketErrorText(int32_t code) noexcept;
// Reports a failed socket call at level 1 with the text of its number.
void ReportSocketError(platform::SocketError error) noexcept;
void ReportSocketErrorCode(int32_t code) noexcept;

}  // namespace qavz
