// The texts that the message-store layer throws, as ThrownMessage.
#pragma once

#include "platform/text.h"

namespace MAPI {

inline constexpr const WCHAR* kInitializeFailed = WTEXT("MAPIの初期化に失敗しました。");
inline constexpr const WCHAR* kNoPdxAccount = WTEXT("PDXのアカウントが見つかりませんでした。");
inline constexpr const WCHAR* kNoMessageCount = WTEXT("メッセージ数が取得できませんでした。");
inline constexpr const WCHAR* kNoMessages = WTEXT("メッセージ取得に失敗しました。");
// A logon, stores table or column set that failed leaves the session empty.
inline constexpr const WCHAR* kLogonFailed = WTEXT("MAPIにログオンできませんでした。");
// The account's store names no Outbox.
inline constexpr const WCHAR* kNoOutbox = WTEXT("送信トレイが見つかりませんでした。");
// The folder gave no contents table (or could not be opened at all).
inline constexpr const WCHAR* kNoContentsTable = WTEXT("メッセージ一覧が取得できませんでした。");

}  // namespace MAPI
