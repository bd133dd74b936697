#include "net/error_text.h"

#include "core/report_error.h"
#include "net/messages.h"

namespace qavz {

namespace {

using E = platform::SocketError;

struct ErrorRow {
  int32_t code;
  E error;  // the condition that gives this number; kNone for the layer's own
  const char* text;
};

constexpr ErrorRow kErrorRows[] = {
    {10004, E::kInterrupted, "WSAEINTR 中止命令により中断しました"},
    {10009, E::kBadHandle, "WSAEBADF ファイル番号が違います"},
    {10013, E::kAccess, "WSAEACCES アクセスが拒否されました"},
    {10014, E::kFault, "WSAEFAULT アドレスが違います"},
    {10022, E::kInvalid, "WSAEINVAL パラメータが解釈できません"},
    {10024, E::kTooManyFiles, "WSAEMFILE ファイルのオープン数が多すぎます"},
    {10035, E::kWouldBlock, "WSAEWOULDBLOCK 操作がブロックされます"},
    {10036, E::kInProgress, "WSAEINPROGRESS 操作が処理中です"},
    {10037, E::kAlready, "WSAEALREADY すでに実行中です"},
    {10038, E::kNotSocket, "WSAENOTSOCK ソケット以外でソケット操作がありました"},
    {10039, E::kDestinationRequired, "WSAEDESTADDRREQ 宛先アドレスが設定されていません"},
    {10040, E::kMessageSize, "WSAEMSGSIZE メッセージが長すぎます"},
    {10041, E::kProtocolType, "WSAEPROTOTYPE プロトコル種類が不正です"},
    {10042, E::kProtocolOption, "WSAENOPROTOOPT プロトコルが使用できません"},
    {10043, E::kProtocolNotSupported, "WSAEPROTONOSUPPORT プロトコルがサポートされていません"},
    {10044, E::kSocketTypeNotSupported, "WSAESOCKTNOSUPPORT ソケットがサポートされていません"},
    {10045, E::kOperationNotSupported, "WSAEOPNOTSUPP 操作がソケットでサポートされていません"},
    {10046, E::kProtocolFamilyNotSupported, "WSAEPFNOSUPPORT プロトコルファミリがサポートされていません"},
    {10047, E::kAddressFamilyNotSupported, "WSAEAFNOSUPPORT アドレスファミリがサポートされていません"},
    {10048, E::kAddressInUse, "WSAEADDRINUSE アドレスがすでに使用中です"},
    {10049, E::kAddressNotAvailable, "WSAEADDRNOTAVAIL 設定されたアドレスを割り当てられません"},
    {10050, E::kNetworkDown, "WSAENETDOWN ネットワークダウンしています"},
    {10051, E::kNetworkUnreachable, "WSAENETUNREACH ネットワークが到達できません"},
    {10052, E::kNetworkReset, "WSAENETRESET リセットされたのでネットワーク接続が落とされました"},
    {10053, E::kConnectionAborted, "WSAECONNABORTED 接続中断要求により中断されました"},
    {10054, E::kConnectionReset, "WSAECONNRESET ピア側での接続がリセットされました"},
    {10055, E::kNoBuffers, "WSAENOBUFS バッファがありません"},
    {10056, E::kIsConnected, "WSAEISCONN ソケットはすでに接続されています"},
    {10057, E::kNotConnected, "WSAENOTCONN ソケットが接続されていません"},
    {10058, E::kShutDown, "WSAESHUTDOWN ソケットがすでに解放されているため送信できません"},
    {10059, E::kTooManyReferences, "WSAETOOMANYREFS 参照が多すぎます"},
    {10060, E::kTimedOut, "WSAETIMEDOUT 接続タイムアウトが発生しました"},
    {10061, E::kConnectionRefused, "WSAECONNREFUSED 接続が拒否されました"},
    {10062, E::kLoop, "WSAELOOP シンボリックリンクレベルが大きすぎます"},
    {10063, E::kNameTooLong, "WSAENAMETOOLONG ファイル名が長すぎます"},
    {10064, E::kHostDown, "WSAEHOSTDOWN ホストがダウンしています"},
    {10065, E::kHostUnreachable, "WSAEHOSTUNREACH ホストへの到達経路が見つかりません"},
    {10066, E::kNotEmpty, "WSAENOTEMPTY ディレクトリが空ではありません"},
    {10067, E::kProcessLimit, "WSAEPROCLIM プロセス数が多すぎます"},
    {10068, E::kUsers, "WSAEUSERS ユーザ数が多すぎます"},
    {10069, E::kQuota, "WSAEDQUOT ディスク割り当てを超えました"},
    {10070, E::kStale, "WSAESTALE NFSファイルハンドルが失効しました"},
    {10071, E::kRemote, "WSAEREMOTE パス中の遠隔レベルが過剰です"},
    {10091, E::kNone, "WSASYSNOTREADY アプリケーションがWinsock.DLLでサポートできません"},
    {10092, E::kNone, "WSAVERNOTSUPPORTED サーバーが対応していません"},
    {10093, E::kNone, "WSANOTINITIALISED Winsockが初期化されていません"},
    {11001, E::kHostNotFound, "WSAHOST_NOT_FOUND ホストが見つかりません"},
    {11002, E::kTryAgain, "WSATRY_AGAIN もう1度試せば回復するかもしれません"},
    {11003, E::kNoRecovery, "WSANO_RECOVERY 回復できないエラーです"},
    {11004, E::kNoData, "WSANO_DATA 見つかりません"},
};

}  // namespace

int32_t SocketErrorCode(platform::SocketError error) noexcept {
  if (error == E::kNone) return 0;
  for (const ErrorRow& row : kErrorRows)
    if (row.error == error) return row.code;
  return 0;
}

const char* SocketErrorText(int32_t code) noexcept {
  for (const ErrorRow& row : kErrorRows)
    if (row.code == code) return row.text;
  return msg::kUndefinedError;
}

void ReportSocketErrorCode(int32_t code) noexcept { ReportError(kLevelFault, "%s", SocketErrorText(code)); }

void ReportSocketError(platform::SocketError error) noexcept {
  ReportSocketErrorCode(SocketErrorCode(error));
}

}  // namespace qavz
