// The scope of COM and MAPI on the calling thread, the logon session over the phone's message
// stores, and the phone's mail account among them.
#pragma once

#include <list>
#include <optional>

#include "mapi/holders.h"
#include "mapi/wrappers.h"
#include "platform/mapi.h"
#include "platform/text.h"

namespace MAPI {

// Starts COM (multithreaded) and MAPI, and stops them again at the end of the scope. Throws
// ThrownMessage when COM can't be started; then nothing is left to undo.
class CInitializer {
public:
    CInitializer();
    ~CInitializer();
    CInitializer(const CInitializer&) = delete;
    CInitializer& operator=(const CInitializer&) = delete;

private:
    bool mapiStarted_ = false;
};

// A logon over the phone's message stores. A logon, stores table or column set that fails
// leaves the session empty; nothing is thrown until the stores are asked for.
class CSession {
public:
    CSession();
    ~CSession() { TearDown(); }
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // One wrapper for each store, in stores-table order, opened on the first call. Throws
    // ThrownMessage when the session is empty.
    std::list<CMsgStore>& GetMsgStores();
    // The first store whose own display name is the account's. Throws ThrownMessage when
    // there is none.
    CMsgStore& GetPdxStore();

private:
    // The stores (in list order) before the table, the table before the session they borrow.
    void TearDown();

    InterfacePtr<IMAPISession> session_;
    InterfacePtr<IMAPITable> storesTable_;
    std::optional<std::list<CMsgStore>> stores_;
};

// Whether a store's display name is that of the phone's mail account: it begins with "070".
bool IsPdxStoreName(WStringView name);

}  // namespace MAPI
