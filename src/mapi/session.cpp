#include "mapi/session.h"

#include "mapi/messages.h"
#include "shared/thrown_message.h"

namespace MAPI {

// Every successful CoInitializeEx, S_FALSE included, counts one start-up on the thread and
// is matched by one CoUninitialize; a COM that was already there keeps its own count and so
// stays initialised. MAPI is stopped only when it was started.
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
