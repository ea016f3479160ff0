// The simulated message store's own accounts: each kind of fault the suites rely on it to
// catch is caught, and a clean run is seen as clean.
#include <functional>

#include "mapi_test.h"

namespace {

class SimStoreTest : public MapiTest {};

TEST_F(SimStoreTest, EachFaultShowsInTheAccounts)
{
    using sim::mapi::Accounts;
    struct Case {
        const char* name = nullptr;
        std::function<void()> fault;
        std::function<bool(const Accounts&)> caught;
    };
    const Case cases[] = {
        {"interface never released",
         [] {
             LPMAPISESSION session = nullptr;
             MAPIInitialize(nullptr);
             MAPILogonEx(0, nullptr, nullptr, 0, &session);
             MAPIUninitialize();
         },
         [](const Accounts& a) { return a.liveInterfaces == 1; }},
        {"interface released twice",
         [] {
             LPMAPISESSION session = nullptr;
             MAPIInitialize(nullptr);
             MAPILogonEx(0, nullptr, nullptr, 0, &session);
             session->Release();
             session->Release();
             MAPIUninitialize();
         },
         [](const Accounts& a) { return a.overReleases == 1 && a.liveInterfaces == 0; }},
        {"interface used after release",
         [] {
             LPMAPISESSION session = nullptr;
             LPMAPITABLE table = nullptr;
             MAPIInitialize(nullptr);
             MAPILogonEx(0, nullptr, nullptr, 0, &session);
             session->Release();
             EXPECT_TRUE(FAILED(session->GetMsgStoresTable(0, &table)));
             MAPIUninitialize();
         },
         [](const Accounts& a) { return a.usesAfterRelease == 1; }},
        {"row set never freed",
         [] {
             sim::mapi::AddStore(WTEXT("070"));
             LPMAPISESSION session = nullptr;
             LPMAPITABLE table = nullptr;
             LPSRowSet rows = nullptr;
             MAPIInitialize(nullptr);
             MAPILogonEx(0, nullptr, nullptr, 0, &session);
             session->GetMsgStoresTable(0, &table);
             table->QueryRows(1, 0, &rows);
             table->Release();
             session->Release();
             MAPIUninitialize();
         },
         [](const Accounts& a) { return a.liveBuffers == 2; }},  // the set and its row's values
        {"value freed twice",
         [] {
             LPSPropValue value = nullptr;
             auto& store = sim::mapi::AddStore(WTEXT("070"));
             LPMAPISESSION session = nullptr;
             LPMDB opened = nullptr;
             MAPIInitialize(nullptr);
             MAPILogonEx(0, nullptr, nullptr, 0, &session);
             session->OpenMsgStore(0, Size(store.entryId), Bytes(store.entryId), nullptr, 0, &opened);
             HrGetOneProp(opened, PR_DISPLAY_NAME_W, &value);
             MAPIFreeBuffer(value);
             MAPIFreeBuffer(value);
             opened->Release();
             session->Release();
             MAPIUninitialize();
         },
         [](const Accounts& a) { return a.badFrees == 1 && a.liveBuffers == 0; }},
        {"COM stopped without a start", [] { CoUninitialize(); },
         [](const Accounts& a) { return a.unbalancedStops == 1; }},
        {"MAPI stopped after a failed start",
         [] {
             Phone().Fail("MAPIInitialize");
             MAPIInitialize(nullptr);
             MAPIUninitialize();
         },
         [](const Accounts& a) { return a.unbalancedStops == 1; }},
        {"COM started twice, stopped once",
         [] {
             CoInitializeEx(nullptr, COINIT_MULTITHREADED);
             CoInitializeEx(nullptr, COINIT_MULTITHREADED);
             CoUninitialize();
         },
         [](const Accounts& a) { return a.comStarts == 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Phone().Reset();
        c.fault();
        EXPECT_FALSE(sim::mapi::AllGivenBack());
        EXPECT_TRUE(c.caught(sim::mapi::Accounting())) << sim::mapi::Describe(sim::mapi::Accounting());
    }
}

TEST_F(SimStoreTest, TheOutboxChangesAsThePartiesAct)
{
    auto& store = sim::mapi::AddStore(WTEXT("07012345678"));
    EXPECT_EQ(sim::mapi::AccountStore(), &store);
    sim::mapi::AddOutboxMessage(store, WTEXT("draft 1"));
    sim::mapi::AddOutboxMessage(store, WTEXT("draft 2"), false);
    EXPECT_EQ(sim::mapi::OutboxCount(store), 2U);
    EXPECT_EQ(sim::mapi::SendOutbox(store), 2U);
    EXPECT_EQ(sim::mapi::OutboxCount(store), 0U);

    auto& bare = sim::mapi::AddStore(WTEXT("Device"), false);
    EXPECT_EQ(sim::mapi::FindOutbox(bare), nullptr);
    EXPECT_THROW(sim::mapi::AddOutboxMessage(bare), std::logic_error);
    EXPECT_EQ(sim::mapi::AccountStore(), &store);
}

TEST_F(SimStoreTest, AContentsTableSeesMailThatArrivesWhileItIsOpen)
{
    Logon logon;
    auto& store = sim::mapi::AddStore(WTEXT("070"));
    sim::mapi::AddOutboxMessage(store, WTEXT("a"));
    MAPI::InterfacePtr<IMsgStore> opened;
    MAPI::InterfacePtr<IUnknown> folder;
    MAPI::InterfacePtr<IMAPITable> table;
    auto& outboxId = sim::mapi::FindOutbox(store)->entryId;
    ASSERT_TRUE(MAPI::Acquire(opened, [&](LPMDB* mdb) {
        return logon.Session()->OpenMsgStore(0, Size(store.entryId), Bytes(store.entryId), nullptr, 0, mdb);
    }));
    ASSERT_TRUE(MAPI::Acquire(folder, [&](LPUNKNOWN* unknown) {
        return opened->OpenEntry(Size(outboxId), Bytes(outboxId), nullptr, MAPI_BEST_ACCESS, nullptr,
                                 unknown);
    }));
    ASSERT_TRUE(MAPI::Acquire(table, [&](LPMAPITABLE* contents) {
        return static_cast<IMAPIFolder*>(folder.Get())->GetContentsTable(0, contents);
    }));
    ULONG count = 0;
    table->GetRowCount(0, &count);
    EXPECT_EQ(count, 1U);
    sim::mapi::AddOutboxMessage(store, WTEXT("b"));
    table->GetRowCount(0, &count);
    EXPECT_EQ(count, 2U);
    sim::mapi::SendOutbox(store);
    LPSRowSet rows = nullptr;
    table->QueryRows(1, 0, &rows);
    EXPECT_EQ(rows->cRows, 0U);
    FreeProws(rows);
    table.Reset();
    folder.Reset();
    opened.Reset();
}

}  // namespace
