#include "net/error_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "net/messages.h"

namespace qavz {
namespace {

using platform::SocketError;

struct TextCase {
  int32_t code;
  const char* text;
};

class ErrorTexts : public testing::TestWithParam<TextCase> {};

TEST_P(ErrorTexts, NumberGivesItsText) { EXPECT_STREQ(SocketErrorText(GetParam().code), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Table, ErrorTexts,
    testing::Values(TextCase{10004, "WSAEINTR 中止命令により中断しました"},
                    TextCase{10022, "WSAEINVAL パラメータが解釈できません"},
                    TextCase{10035, "WSAEWOULDBLOCK 操作がブロックされます"},
                    TextCase{10048, "WSAEADDRINUSE アドレスがすでに使用中です"},
                    TextCase{10054, "WSAECONNRESET ピア側での接続がリセットされました"},
                    TextCase{10061, "WSAECONNREFUSED 接続が拒否されました"},
                    TextCase{10071, "WSAEREMOTE パス中の遠隔レベルが過剰です"},
                    TextCase{10091, "WSASYSNOTREADY アプリケーションがWinsock.DLLでサポートできません"},
                    TextCase{10093, "WSANOTINITIALISED Winsockが初期化されていません"},
                    TextCase{11001, "WSAHOST_NOT_FOUND ホストが見つかりません"},
                    TextCase{11004, "WSANO_DATA 見つかりません"}, TextCase{0, "未定義エラー"},
                    TextCase{10000, "未定義エラー"}, TextCase{10072, "未定義エラー"},
                    TextCase{-1, "未定義エラー"}));

// The conditions in the order of their numbers, as the table of old has them.
struct ConditionCase {
  SocketError error;
  int32_t code;
};

class ConditionCodes : public testing::TestWithParam<ConditionCase> {};

TEST_P(ConditionCodes, ConditionGivesItsNumber) {
  EXPECT_EQ(SocketErrorCode(GetParam().error), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, ConditionCodes,
    testing::Values(
        ConditionCase{SocketError::kNone, 0}, ConditionCase{SocketError::kInterrupted, 10004},
        ConditionCase{SocketError::kBadHandle, 10009}, ConditionCase{SocketError::kAccess, 10013},
        ConditionCase{SocketError::kFault, 10014}, ConditionCase{SocketError::kInvalid, 10022},
        ConditionCase{SocketError::kTooManyFiles, 10024}, ConditionCase{SocketError::kWouldBlock, 10035},
        ConditionCase{SocketError::kAddressInUse, 10048}, ConditionCase{SocketError::kConnectionReset, 10054},
        ConditionCase{SocketError::kConnectionRefused, 10061}, ConditionCase{SocketError::kRemote, 10071},
        ConditionCase{SocketError::kHostNotFound, 11001}, ConditionCase{SocketError::kTryAgain, 11002},
        ConditionCase{SocketError::kNoRecovery, 11003}, ConditionCase{SocketError::kNoData, 11004},
        ConditionCase{SocketError::kOther, 0}));

// Every condition between the two ends has a number of its own and a text.
TEST(ConditionCodes, EveryConditionHasItsOwnNumberAndText) {
  std::set<int32_t> seen;
  for (int e = int(SocketError::kInterrupted); e < int(SocketError::kOther); ++e) {
    int32_t code = SocketErrorCode(SocketError(e));
    EXPECT_TRUE(seen.insert(code).second) << "condition " << e << " shares " << code;
    EXPECT_STRNE(SocketErrorText(code), msg::kUndefinedError) << "condition " << e;
  }
  EXPECT_EQ(seen.size(), 47u);
}

}  // namespace
}  // namespace qavz
