// The two Outbox inspections over the simulated phone: their answers, their failures, and
// the teardown of their scope.
#include "mapi/outbox.h"
#include "mapi/messages.h"
#include "mapi/session.h"
#include "mapi_test.h"

namespace {

using sim::mapi::AddOutboxMessage;
using sim::mapi::AddStore;
using sim::mapi::ListedId;

class OutboxTest : public MapiTest {};

TEST_F(OutboxTest, TheAccountIsTheStoreWhoseNameBeginsWith070)
{
    struct Case {
        const WCHAR* name = nullptr;
        bool account = false;
    };
    const Case cases[] = {
        {WTEXT("070"), true},  {WTEXT("07012345678"), true}, {WTEXT("070 "), true},  {WTEXT("0700"), true},
        {WTEXT("07"), false},  {WTEXT(""), false},           {WTEXT(" 070"), false}, {WTEXT("O70"), false},
        {WTEXT("007"), false}, {WTEXT("０７０"), false},  // full-width digits
        {WTEXT("080"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MAPI::IsPdxStoreName(c.name), c.account) << sim::Utf8(c.name);
    }
}

// One account store whose Outbox holds one message, and one failure injected.
TEST_F(OutboxTest, EachFailureEndsInItsAnswerOrMessageWithNothingLeftHeld)
{
    struct Case {
        const char* failCall = nullptr;
        int nth = 0;
        Outcome hasMail;
        Outcome isEmpty;
    };
    const Outcome logonFailed = Thrown(MAPI::kLogonFailed);
    const Outcome noAccount = Thrown(MAPI::kNoPdxAccount);
    const Case cases[] = {
        {"CoInitializeEx", 0, Thrown(MAPI::kInitializeFailed), Thrown(MAPI::kInitializeFailed)},
        {"MAPIInitialize", 0, logonFailed, logonFailed},
        {"MAPILogonEx", 0, logonFailed, logonFailed},
        {"IMAPISession::GetMsgStoresTable", 0, logonFailed, logonFailed},
        {"IMAPITable::SetColumns", 1, logonFailed, logonFailed},  // the stores table's
        {"IMAPITable::QueryRows", 1, noAccount, noAccount},       // the stores table's first row
        {"IMAPISession::OpenMsgStore", 0, noAccount, noAccount},
        {"HrGetOneProp", 1, noAccount, noAccount},  // the store's display name
        {"HrGetOneProp", 2, Thrown(MAPI::kNoOutbox), Thrown(MAPI::kNoOutbox)},
        {"IMsgStore::OpenEntry", 0, Thrown(MAPI::kNoContentsTable), Thrown(MAPI::kNoContentsTable)},
        {"IMAPIFolder::GetContentsTable", 0, Thrown(MAPI::kNoContentsTable), Thrown(MAPI::kNoContentsTable)},
        {"IMAPITable::GetRowCount", 0, Thrown(MAPI::kNoMessageCount), Answer(false)},
        {"IMAPITable::SetColumns", 2, Answer(true), Thrown(MAPI::kNoMessages)},  // the Outbox's
        {"IMAPITable::SeekRow", 0, Answer(true), Thrown(MAPI::kNoMessages)},
        {"IMAPITable::QueryRows", 3, Answer(true), Thrown(MAPI::kNoMessages)},  // the Outbox's first row
        {"IMAPITable::QueryRows", 4, Answer(true), Answer(false)},    // after it: the mail is still there
        {"IMAPISession::OpenEntry", 0, Answer(true), Answer(false)},  // the message still counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.failCall) + " #" + std::to_string(c.nth));
        for (const bool askHasMail : {true, false}) {
            Phone().Reset();
            AddOutboxMessage(AddStore(WTEXT("07011112222")));
            Phone().Fail(c.failCall, c.nth);
            const Outcome outcome = askHasMail ? Run(OutboxHasMail) : Run(IsOutboxEmpty);
            EXPECT_EQ(outcome, askHasMail ? c.hasMail : c.isEmpty)
                << (askHasMail ? "OutboxHasMail" : "IsOutboxEmpty") << " threw " << outcome.thrown;
            ExpectAllGivenBack();
        }
    }
}

TEST_F(OutboxTest, TheAnswersFollowTheAccountsOutbox)
{
    struct Case {
        const char* name = nullptr;
        std::vector<std::pair<const WCHAR*, int>> stores;  // display name, messages in its Outbox
        std::vector<bool> opens;                           // of the account's messages, in order
        Outcome hasMail;
        Outcome isEmpty;
        // How the stores table's rows, and the Outbox's, show each entry identifier, in order.
        std::vector<ListedId> storeIds = {};
        std::vector<ListedId> messageIds = {};
    };
    const Case cases[] = {
        {"empty Outbox", {{WTEXT("070"), 0}}, {}, Answer(false), Answer(true)},
        {"one message", {{WTEXT("070"), 1}}, {}, Answer(true), Answer(false)},
        {"one message that can't be opened", {{WTEXT("070"), 1}}, {false}, Answer(true), Answer(false)},
        {"first of two account stores",
         {{WTEXT("0701"), 0}, {WTEXT("0702"), 2}},
         {},
         Answer(false),
         Answer(true)},
        {"account after another store",
         {{WTEXT("Device"), 3}, {WTEXT("070"), 0}},
         {},
         Answer(false),
         Answer(true)},
        {"no account",
         {{WTEXT("Device"), 1}, {WTEXT(" 070"), 1}},
         {},
         Thrown(MAPI::kNoPdxAccount),
         Thrown(MAPI::kNoPdxAccount)},
        {"no store at all", {}, {}, Thrown(MAPI::kNoPdxAccount), Thrown(MAPI::kNoPdxAccount)},
        // A row that names no store opens none, and the walk goes on to the next.
        {"account listed with an error value for its identifier",
         {{WTEXT("0701"), 1}, {WTEXT("0702"), 0}},
         {},
         Answer(false),
         Answer(true),
         {ListedId::Error}},
        {"account listed without its identifier",
         {{WTEXT("0701"), 1}, {WTEXT("0702"), 0}},
         {},
         Answer(false),
         Answer(true),
         {ListedId::Absent}},
        // A message that can't be named still counts, as one that can't be opened does.
        {"message listed with an error value for its identifier",
         {{WTEXT("070"), 2}},
         {},
         Answer(true),
         Answer(false),
         {},
         {ListedId::Error, ListedId::Error}},
        {"message listed without its identifier",
         {{WTEXT("070"), 1}},
         {},
         Answer(true),
         Answer(false),
         {},
         {ListedId::Absent}},
    };
    const auto listed = [](const std::vector<ListedId>& ids, std::size_t at) {
        return at < ids.size() ? ids[at] : ListedId::Kept;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool askHasMail : {true, false}) {
            Phone().Reset();
            int named = 0;
            for (std::size_t at = 0; at < c.stores.size(); ++at) {
                const auto& [name, messages] = c.stores[at];
                auto& store = AddStore(name);
                store.listedId = listed(c.storeIds, at);
                named += store.listedId == ListedId::Kept ? 1 : 0;
                for (int i = 0; i < messages; ++i) {
                    const auto nth = static_cast<std::size_t>(i);
                    AddOutboxMessage(store, WTEXT("m"), nth >= c.opens.size() || c.opens[nth]).listedId =
                        listed(c.messageIds, nth);
                }
            }
            EXPECT_EQ(askHasMail ? Run(OutboxHasMail) : Run(IsOutboxEmpty),
                      askHasMail ? c.hasMail : c.isEmpty);
            // Every store that its row names is opened, whatever its name, and given back.
            EXPECT_EQ(Calls("IMAPISession::OpenMsgStore"), named);
            ExpectAllGivenBack();
        }
    }
}

TEST_F(OutboxTest, AnAccountWithoutOutboxFailsWithoutOpeningAFolder)
{
    AddStore(WTEXT("070"), false);
    EXPECT_EQ(Run(OutboxHasMail), Thrown(MAPI::kNoOutbox));
    EXPECT_EQ(Run(IsOutboxEmpty), Thrown(MAPI::kNoOutbox));
    EXPECT_EQ(Calls("IMsgStore::OpenEntry"), 0);
    ExpectAllGivenBack();
}

TEST_F(OutboxTest, ComAlreadyInitialisedStaysInitialised)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    AddOutboxMessage(AddStore(WTEXT("070")));
    EXPECT_EQ(Run(OutboxHasMail), Answer(true));
    EXPECT_EQ(Run(IsOutboxEmpty), Answer(false));
    const auto starts = Phone().TraceOf("CoInitializeEx");
    EXPECT_EQ(starts.back().Number("model"), 0);
    EXPECT_EQ(starts.back().Number("result"), S_FALSE);
    EXPECT_EQ(sim::mapi::Accounting().comStarts, 1);
    CoUninitialize();
    ExpectAllGivenBack();
}

TEST_F(OutboxTest, TwoInspectionsLogOnTwiceAndReadAfresh)
{
    auto& store = AddStore(WTEXT("070"));
    EXPECT_EQ(Run(IsOutboxEmpty), Answer(true));
    AddOutboxMessage(store);  // the Messaging program moves a draft in
    EXPECT_EQ(Run(OutboxHasMail), Answer(true));
    sim::mapi::SendOutbox(store);  // the phone's software sends it
    EXPECT_EQ(Run(IsOutboxEmpty), Answer(true));
    EXPECT_EQ(Calls("CoInitializeEx"), 3);
    EXPECT_EQ(Calls("MAPILogonEx"), 3);
    EXPECT_EQ(Calls("IMAPISession::OpenMsgStore"), 3);
    ExpectAllGivenBack();
}

TEST_F(OutboxTest, TheScopeIsTornDownInOrderAlsoWhenAMessageIsThrown)
{
    const std::vector<std::string> storesAndScope = {
        "IUnknown::Release stores table", "IUnknown::Release session", "MAPIUninitialize", "CoUninitialize"};
    auto expected = [&](std::vector<std::string> first) {
        first.insert(first.end(), storesAndScope.begin(), storesAndScope.end());
        return first;
    };
    struct Case {
        const char* name = nullptr;
        bool askHasMail = false;
        const char* failCall = nullptr;
        std::vector<std::string> order;
    };
    const std::string device = "IUnknown::Release store Device";
    const std::string account = "IUnknown::Release store 070";
    const std::string folder = "IUnknown::Release folder Outbox";
    const std::string table = "IUnknown::Release contents table Outbox";
    const Case cases[] = {
        {"OutboxHasMail", true, nullptr, expected({device, table, folder, account})},
        {"IsOutboxEmpty", false, nullptr,
         expected(
             {device, "IUnknown::Release message a", "IUnknown::Release message b", table, folder, account})},
        {"OutboxHasMail, count fails", true, "IMAPITable::GetRowCount",
         expected({device, table, folder, account})},
        {"IsOutboxEmpty, seek fails", false, "IMAPITable::SeekRow",
         expected({device, table, folder, account})},
        {"no contents table", false, "IMAPIFolder::GetContentsTable", expected({device, folder, account})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Phone().Reset();
        AddStore(WTEXT("Device"));
        auto& store = AddStore(WTEXT("070"));
        AddOutboxMessage(store, WTEXT("a"));
        AddOutboxMessage(store, WTEXT("b"));
        if (c.failCall != nullptr) {
            Phone().Fail(c.failCall);
        }
        c.askHasMail ? Run(OutboxHasMail) : Run(IsOutboxEmpty);
        EXPECT_EQ(TraceOf({"IUnknown::Release", "MAPIUninitialize", "CoUninitialize"}), c.order);
        ExpectAllGivenBack();
    }
}

TEST_F(OutboxTest, TheCallsCarryTheArgumentsTheStoreExpects)
{
    AddOutboxMessage(AddStore(WTEXT("070")), WTEXT("a"));
    EXPECT_EQ(Run(IsOutboxEmpty), Answer(false));
    const auto logons = Phone().TraceOf("MAPILogonEx");
    ASSERT_EQ(logons.size(), 1U);
    EXPECT_EQ(logons[0].Number("ui"), 0);
    EXPECT_EQ(logons[0].Get<sim::Hex>("flags")->value, 0U);
    EXPECT_FALSE(*logons[0].Get<bool>("profile"));
    EXPECT_FALSE(logons[0].Failed());
    std::vector<std::vector<std::uint64_t>> columns;
    for (const auto& set : Phone().TraceOf("IMAPITable::SetColumns")) {
        EXPECT_EQ(set.Number("flags", -1), 0);
        columns.emplace_back();
        for (const auto& field : set.args) {
            if (field.name == "column") {
                columns.back().push_back(std::get<sim::Hex>(field.value).value);
            }
        }
    }
    EXPECT_EQ(columns,
              (std::vector<std::vector<std::uint64_t>>{{PR_DISPLAY_NAME_W, PR_ENTRYID}, {PR_ENTRYID}}));
    const auto seeks = Phone().TraceOf("IMAPITable::SeekRow");
    ASSERT_EQ(seeks.size(), 1U);
    EXPECT_EQ(seeks[0].Number("bookmark", -1), BOOKMARK_BEGINNING);
    EXPECT_EQ(seeks[0].Number("rows", -1), 0);
    for (const char* call : {"IMsgStore::OpenEntry", "IMAPISession::OpenEntry"}) {
        for (const auto& open : Phone().TraceOf(call)) {
            EXPECT_EQ(open.Get<sim::Hex>("flags")->value, MAPI_BEST_ACCESS) << call;
            EXPECT_FALSE(*open.Get<bool>("interface")) << call;
            EXPECT_FALSE(*open.Get<bool>("askingType")) << call;
            EXPECT_FALSE(open.Failed()) << call;
        }
    }
    for (const auto& read : Phone().TraceOf("IMAPITable::QueryRows")) {
        EXPECT_EQ(read.Number("count"), 1);
        EXPECT_EQ(read.Number("flags", -1), 0);
    }
}

}  // namespace
