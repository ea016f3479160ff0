#include "mapi/session.h"

#include "mapi/messages.h"
#include "shared/thrown_message.h"

namespace MAPI {

// Two deliberate choices in how the scope ends:
// - An S_FALSE from CoInitializeEx (COM was already started on the thread) is still matched
//   by a CoUninitialize, as COM's own rule asks: every successful call counts one start-up.
//   Skipping the stop for S_FALSE would leave one start-up behind per inspection, so COM could
//   never be shut down on the thread, and whoever started it first would find it still
//   running after their own CoUninitialize. A COM that was already there keeps its own count
//   and so stays initialised.
// - MAPIUninitialize is called only after a MAPIInitialize that succeeded. A stop without its
//   start would take away a start-up that MAPI never counted for this scope: that of another
//   user of MAPI in the process, whose session would be torn down under it, or none at all, a
//   stop that MAPI does not expect.
CInitializer::CInitializer()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        throw ThrownMessage(kInitializeFailed);
    }
    // A failure here shows later, as a logon that fails.
    mapiStarted_ = SUCCEEDED(MAPIInitialize(nullptr));
}

CInitializer::~CInitializer()
{
    if (mapiStarted_) {
        MAPIUninitialize();
    }
    CoUninitialize();
}

CSession::CSession()
{
    SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME_W, PR_ENTRYID}};
    const bool ready =
        Acquire(session_,
                [](LPMAPISESSION* session) { return MAPILogonEx(0, nullptr, nullptr, 0, session); }) &&
        Acquire(storesTable_, [&](LPMAPITABLE* table) { return session_->GetMsgStoresTable(0, table); }) &&
        SUCCEEDED(storesTable_->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0));
    if (!ready) {
        TearDown();
    }
}

std::list<CMsgStore>& CSession::GetMsgStores()
{
    if (stores_) {
        return *stores_;
    }
    if (!storesTable_) {
        throw ThrownMessage(kLogonFailed);
    }
    auto& stores = stores_.emplace();
    RowSetPtr rows;
    while (QueryNextRow(storesTable_.Get(), rows)) {
        const SBinary* id = FindEntryId(rows->aRow[0], 1);
        stores.emplace_back(session_.Get(), id != nullptr ? id->cb : 0,
                            id != nullptr ? EntryIdBytes(*id) : nullptr);
        rows.reset();
    }
    return stores;
}

CMsgStore& CSession::GetPdxStore()
{
    for (CMsgStore& store : GetMsgStores()) {
        WString name;
        if (IsPdxStoreName(store.GetDisplayName(name))) {
            return store;
        }
    }
    throw ThrownMessage(kNoPdxAccount);
}

void CSession::TearDown()
{
    if (stores_) {
        DestroyInOrder(*stores_);
        stores_.reset();
    }
    storesTable_.Reset();
    session_.Reset();
}

bool IsPdxStoreName(WStringView name)
{
    return name.starts_with(WTEXT("070"));
}

}  // namespace MAPI
