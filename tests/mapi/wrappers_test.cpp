// The wrappers over store, folder and message objects, driven directly over a logon.
#include <functional>

#include "mapi/messages.h"
#include "mapi/wrappers.h"
#include "mapi_test.h"
#include "platform/mapi_one_prop.h"

namespace {

using sim::mapi::AddOutboxMessage;
using sim::mapi::AddStore;
using sim::mapi::Store;

class WrapperTest : public MapiTest {
public:
    MAPI::CMsgStore& Open(Store& store)
    {
        return stores_.emplace_back(logon_->Session(), Size(store.entryId), Bytes(store.entryId));
    }

    void SetUp() override
    {
        MapiTest::SetUp();
        logon_.emplace();
    }

    void TearDown() override
    {
        stores_.clear();
        logon_.reset();
        ExpectAllGivenBack();
    }

    // Between the rows of a table: everything given back, then a phone fresh from the box.
    void Fresh()
    {
        TearDown();
        Phone().Reset();
        logon_.emplace();
    }

    // On a fresh phone, one store opened whose display name is kept as given (none: the store
    // lacks it); failCall, when given, fails from then on.
    MAPI::CMsgStore& OpenStoreNamed(const std::optional<sim::mapi::Prop>& kept, const char* failCall)
    {
        Fresh();
        Store& store = AddStore(WTEXT("unused"));
        store.RemoveProp(PR_DISPLAY_NAME_W);
        if (kept) {
            store.SetProp(*kept);
        }
        MAPI::CMsgStore& wrapper = Open(store);
        if (failCall != nullptr) {
            Phone().Fail(failCall);
        }
        return wrapper;
    }

    std::optional<Logon> logon_;
    std::list<MAPI::CMsgStore> stores_;
};

// Every question of a wrapper without object is answered as for a missing property.
void ExpectAnswersAsMissing(MAPI::CBase& wrapper)
{
    WString text = WTEXT("left over");
    MAPI::PropValuePtr value;
    SPropValue written{PR_DISPLAY_NAME_W, 0, {}};
    SYSTEMTIME time{};
    time.wYear = 1999;
    EXPECT_EQ(wrapper.GetMAPIProp(), nullptr);
    EXPECT_TRUE(wrapper.GetDisplayName(text).empty());
    EXPECT_FALSE(wrapper.GetProp(PR_DISPLAY_NAME_W, value));
    EXPECT_FALSE(value);
    EXPECT_FALSE(wrapper.GetEntryID(value));
    EXPECT_FALSE(wrapper.SetProp(written));
    wrapper.GetTimeProp(PROP_TAG(PT_SYSTIME, 0x0E06), time);
    EXPECT_EQ(time.wYear, 1999);
}

TEST_F(WrapperTest, AWrapperWithoutObjectAnswersAsMissingAndNeverFaults)
{
    struct Case {
        const char* name = nullptr;
        std::function<void(WrapperTest&, const std::function<void(MAPI::CBase&)>&)> with;
    };
    const Case cases[] = {
        {"store that fails to open",
         [](WrapperTest& test, const auto& check) {
             Store& store = AddStore(WTEXT("070"));
             store.opens = false;
             MAPI::CMsgStore& wrapper = test.Open(store);
             EXPECT_EQ(wrapper.GetOutbox(), nullptr);
             check(wrapper);
         }},
        {"store from an empty identifier",
         [](WrapperTest& test, const auto& check) {
             MAPI::CMsgStore wrapper(test.logon_->Session(), 0, nullptr);
             EXPECT_EQ(Calls("IMAPISession::OpenMsgStore"), 0);
             check(wrapper);
         }},
        {"store closed twice",
         [](WrapperTest& test, const auto& check) {
             MAPI::CMsgStore& wrapper = test.Open(AddStore(WTEXT("070")));
             wrapper.Close();
             wrapper.Close();
             EXPECT_EQ(wrapper.GetOutbox(), nullptr);
             check(wrapper);
         }},
        {"folder that fails to open",
         [](WrapperTest& test, const auto& check) {
             Store& store = AddStore(WTEXT("070"));
             sim::mapi::FindOutbox(store)->opens = false;
             MAPI::CFolder* outbox = test.Open(store).GetOutbox();
             ASSERT_NE(outbox, nullptr);
             EXPECT_EQ(outbox->GetContentsTable(), nullptr);
             check(*outbox);
         }},
        {"message that fails to open",
         [](WrapperTest& test, const auto& check) {
             Store& store = AddStore(WTEXT("070"));
             AddOutboxMessage(store, WTEXT("m"), false);
             auto& messages = test.Open(store).GetOutbox()->GetMessages();
             ASSERT_EQ(messages.size(), 1U);
             check(messages.front());
         }},
        {"message from an empty identifier",
         [](WrapperTest& test, const auto& check) {
             MAPI::CMessage wrapper(test.logon_->Session(), 0, nullptr);
             EXPECT_EQ(Calls("IMAPISession::OpenEntry"), 0);
             check(wrapper);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        c.with(*this, ExpectAnswersAsMissing);
    }
}

TEST_F(WrapperTest, AFolderThatCannotBeReadFailsWithItsOwnMessage)
{
    Store& store = AddStore(WTEXT("070"));
    sim::mapi::FindOutbox(store)->opens = false;
    MAPI::CFolder* outbox = Open(store).GetOutbox();
    const auto count = Run([&] { return outbox->GetMessageCount() != 0; });
    const auto read = Run([&] { return outbox->GetMessages().empty(); });
    EXPECT_EQ(count, Thrown(MAPI::kNoContentsTable));
    EXPECT_EQ(read, Thrown(MAPI::kNoContentsTable));
}

TEST_F(WrapperTest, CloseGivesEachInterfaceBackOnceAndMayRepeat)
{
    Store& store = AddStore(WTEXT("070"));
    AddOutboxMessage(store, WTEXT("a"));
    AddOutboxMessage(store, WTEXT("b"));
    MAPI::CMsgStore& wrapper = Open(store);
    ASSERT_EQ(wrapper.GetOutbox()->GetMessages().size(), 2U);
    // store, folder, contents table, two messages, beside the session
    EXPECT_EQ(sim::mapi::Accounting().liveInterfaces, 6U);

    wrapper.Close();
    wrapper.Close();
    EXPECT_EQ(sim::mapi::Accounting().liveInterfaces, 1U);
    EXPECT_EQ(sim::mapi::Accounting().overReleases, 0);
    EXPECT_EQ(TraceOf({"IUnknown::Release"}),
              (std::vector<std::string>{"IUnknown::Release message a", "IUnknown::Release message b",
                                        "IUnknown::Release contents table Outbox",
                                        "IUnknown::Release folder Outbox", "IUnknown::Release store 070"}));
}

TEST_F(WrapperTest, GetOutboxOpensTheFolderOnceAndKeepsIt)
{
    MAPI::CMsgStore& wrapper = Open(AddStore(WTEXT("070")));
    MAPI::CFolder* first = wrapper.GetOutbox();
    MAPI::CFolder* second = wrapper.GetOutbox();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(Calls("IMsgStore::OpenEntry"), 1);
}

TEST_F(WrapperTest, GetMessagesGivesOnlyTheLatestReading)
{
    Store& store = AddStore(WTEXT("070"));
    AddOutboxMessage(store, WTEXT("a"));
    MAPI::CFolder& outbox = *Open(store).GetOutbox();
    ASSERT_EQ(outbox.GetMessages().size(), 1U);
    AddOutboxMessage(store, WTEXT("b"));
    auto& second = outbox.GetMessages();

    EXPECT_EQ(second.size(), 2U);
    // The first reading's message and contents table were given back before the second.
    EXPECT_EQ(
        TraceOf({"IUnknown::Release"}),
        (std::vector<std::string>{"IUnknown::Release message a", "IUnknown::Release contents table Outbox"}));
    EXPECT_EQ(sim::mapi::Accounting().liveInterfaces, 6U);
}

TEST_F(WrapperTest, AWalkOverAnEmptyFolderCallsNothingAndCountsNothing)
{
    MAPI::CFolder& outbox = *Open(AddStore(WTEXT("070"))).GetOutbox();
    int calls = 0;
    SPropTagArray columns{1, {PR_ENTRYID}};
    outbox.ForEachRow(
        [](MAPI::CFolder&, const SRow&, void* context, const SRowSet&) {
            ++*static_cast<int*>(context);
            return true;
        },
        columns, &calls);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(outbox.GetMessages().empty());
    EXPECT_EQ(outbox.GetMessageCount(), 0U);
}

TEST_F(WrapperTest, ACallbackThatStopsAtTheFirstRowEndsTheWalkAndTheRowSetIsFreed)
{
    Store& store = AddStore(WTEXT("070"));
    for (const auto* subject : {WTEXT("a"), WTEXT("b"), WTEXT("c")}) {
        AddOutboxMessage(store, subject);
    }
    MAPI::CFolder& outbox = *Open(store).GetOutbox();
    int calls = 0;
    SPropTagArray columns{1, {PR_ENTRYID}};
    outbox.ForEachRow(
        [](MAPI::CFolder&, const SRow& row, void* context, const SRowSet& rows) {
            ++*static_cast<int*>(context);
            EXPECT_EQ(&row, &rows.aRow[0]);
            return false;
        },
        columns, &calls);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Calls("IMAPITable::QueryRows"), 1);
    EXPECT_EQ(Calls("FreeProws"), 1);
    EXPECT_EQ(sim::mapi::Accounting().liveBuffers, 0U);
}

TEST_F(WrapperTest, AMessageThatCannotBeOpenedStaysInTheListClosed)
{
    Store& store = AddStore(WTEXT("070"));
    AddOutboxMessage(store, WTEXT("a"));
    AddOutboxMessage(store, WTEXT("b"), false);
    AddOutboxMessage(store, WTEXT("c"));
    auto& messages = Open(store).GetOutbox()->GetMessages();
    std::vector<bool> open;
    for (auto& message : messages) {
        open.push_back(message.GetMAPIProp() != nullptr);
    }
    EXPECT_EQ(open, (std::vector<bool>{true, false, true}));
}

// The name is read once to tell the root, and again for what is appended.
TEST_F(WrapperTest, TheFolderPathAddsTheNameUnlessTheFolderIsTheRoot)
{
    struct Case {
        const WCHAR* folderName = nullptr;  // null: the folder has no display name
        const WCHAR* path = nullptr;
        int nameReads = 2;
        int failingRead = 0;  // the one of the folder's name reads that fails; 0: none
    };
    const Case cases[] = {
        {WTEXT("IPM.Root"), WTEXT("070 Mail"), 1},
        {WTEXT("ipm.root"), WTEXT("070 Mail\\ipm.root")},
        {WTEXT("IPM.ROOT"), WTEXT("070 Mail\\IPM.ROOT")},
        {WTEXT("IPM.Root "), WTEXT("070 Mail\\IPM.Root ")},
        {WTEXT(" IPM.Root"), WTEXT("070 Mail\\ IPM.Root")},
        {WTEXT("IPM.Roo"), WTEXT("070 Mail\\IPM.Roo")},
        {WTEXT("Outbox"), WTEXT("070 Mail\\Outbox")},
        {nullptr, WTEXT("070 Mail\\")},
        {WTEXT("Outbox"), WTEXT("070 Mail\\"), 2, 2},
        {WTEXT("IPM.Root"), WTEXT("070 Mail\\IPM.Root"), 2, 1},
    };
    Store& store = AddStore(WTEXT("070 Mail"));
    auto* opened = static_cast<IMsgStore*>(Open(store).GetMAPIProp());
    for (const Case& c : cases) {
        SCOPED_TRACE(sim::Utf8(c.path));
        sim::mapi::Folder& folder =
            sim::mapi::AddFolder(store, c.folderName != nullptr ? c.folderName : WTEXT(""));
        if (c.folderName == nullptr) {
            folder.RemoveProp(PR_DISPLAY_NAME_W);
        }
        const int readsBefore = Phone().CallCount("HrGetOneProp");
        if (c.failingRead != 0) {
            Phone().Fail("HrGetOneProp", readsBefore + c.failingRead);
        }
        const MAPI::CFolder wrapper(logon_->Session(), opened, Size(folder.entryId), Bytes(folder.entryId),
                                    WTEXT("070 Mail"));
        EXPECT_EQ(wrapper.Path(), c.path);
        EXPECT_EQ(Phone().CallCount("HrGetOneProp") - readsBefore, c.nameReads);
    }
}

TEST_F(WrapperTest, APropertyIsUsedOnlyWhenItHasTheTypeAskedFor)
{
    struct Case {
        const char* name = nullptr;
        std::optional<sim::mapi::Prop> kept;  // none: the store lacks the property
        const char* failCall = nullptr;
        const WCHAR* text = nullptr;
        bool read = false;         // GetProp hands the value out
        bool laxProvider = false;  // a failed read leaves its freed value in the out-parameter
    };
    const ULONG nameId = PROP_ID(PR_DISPLAY_NAME_W);
    const Case cases[] = {
        {"unicode text", sim::mapi::TextProp(PR_DISPLAY_NAME_W, WTEXT("070 Mail")), nullptr,
         WTEXT("070 Mail"), true},
        {"empty text", sim::mapi::TextProp(PR_DISPLAY_NAME_W, WTEXT("")), nullptr, WTEXT(""), true},
        {"missing", std::nullopt, nullptr, WTEXT(""), false},
        {"error value", sim::mapi::NumberProp(PROP_TAG(PT_ERROR, nameId), MAPI_E_NOT_FOUND), nullptr,
         WTEXT(""), false},
        {"8-bit text", sim::mapi::NumberProp(PROP_TAG(PT_STRING8, nameId), 0), nullptr, WTEXT(""), false},
        {"a number", sim::mapi::NumberProp(PROP_TAG(PT_LONG, nameId), 70), nullptr, WTEXT(""), false},
        {"read fails", sim::mapi::TextProp(PR_DISPLAY_NAME_W, WTEXT("070 Mail")), "HrGetOneProp", WTEXT(""),
         false},
        // Freed again, the value would be a double free.
        {"missing, from a provider that leaves its freed value", std::nullopt, nullptr, WTEXT(""), false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MAPI::CMsgStore& wrapper = OpenStoreNamed(c.kept, c.failCall);
        sim::mapi::LeaveFreedValueOnFailure(c.laxProvider);
        WString text = WTEXT("left over");
        MAPI::PropValuePtr value;
        EXPECT_EQ(wrapper.GetDisplayName(text), c.text);
        EXPECT_EQ(wrapper.GetProp(PR_DISPLAY_NAME_W, value), c.read);
    }
}

TEST_F(WrapperTest, TheOutboxIsOpenedOnlyFromABinaryIdentifierThatNamesSomething)
{
    struct Case {
        const char* name = nullptr;
        sim::mapi::Prop kept;
        bool opened = false;
    };
    const ULONG outboxId = PROP_ID(PR_IPM_OUTBOX_ENTRYID);
    const Case cases[] = {
        {"error value", sim::mapi::NumberProp(PROP_TAG(PT_ERROR, outboxId), MAPI_E_NOT_FOUND), false},
        {"a number", sim::mapi::NumberProp(PROP_TAG(PT_LONG, outboxId), 1), false},
        {"empty identifier", sim::mapi::BytesProp(PR_IPM_OUTBOX_ENTRYID, {}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        Store& store = AddStore(WTEXT("070"));
        store.SetProp(c.kept);
        MAPI::CMsgStore& wrapper = Open(store);
        MAPI::CFolder* outbox = wrapper.GetOutbox();
        EXPECT_EQ(outbox != nullptr && outbox->GetMAPIProp() != nullptr, c.opened);
        // An empty identifier would open the store's root folder instead.
        EXPECT_EQ(Calls("IMsgStore::OpenEntry"), 0);
    }
}

TEST_F(WrapperTest, TimePropertiesConvertOrLeaveTheOutputAlone)
{
    struct Case {
        std::optional<FILETIME> kept;
        SYSTEMTIME expected{};
    };
    const ULONG tag = PROP_TAG(PT_SYSTIME, 0x0E06);
    const SYSTEMTIME untouched{2001, 2, 3, 4, 5, 6, 7, 8};
    const Case cases[] = {
        {FILETIME{0xD53E8000U, 0x019DB1DEU}, {1970, 1, 4, 1, 0, 0, 0, 0}},        // Thursday
        {FILETIME{0U, 0U}, {1601, 1, 1, 1, 0, 0, 0, 0}},                          // Monday
        {FILETIME{0xB3E67C50U, 0x01DA6B0BU}, {2024, 2, 4, 29, 12, 34, 56, 789}},  // leap day, Thursday
        {std::nullopt, untouched},
        {FILETIME{0U, 0x80000000U}, untouched},  // beyond what a calendar time can hold
    };
    for (const Case& c : cases) {
        Store& store = AddStore(WTEXT("070"));
        if (c.kept) {
            store.SetProp(sim::mapi::TimeProp(tag, *c.kept));
        }
        SYSTEMTIME time = untouched;
        Open(store).GetTimeProp(tag, time);
        EXPECT_EQ(std::vector<WORD>({time.wYear, time.wMonth, time.wDayOfWeek, time.wDay, time.wHour,
                                     time.wMinute, time.wSecond, time.wMilliseconds}),
                  std::vector<WORD>({c.expected.wYear, c.expected.wMonth, c.expected.wDayOfWeek,
                                     c.expected.wDay, c.expected.wHour, c.expected.wMinute,
                                     c.expected.wSecond, c.expected.wMilliseconds}));
    }
}

TEST_F(WrapperTest, SetPropWritesThroughTheStore)
{
    MAPI::CMsgStore& wrapper = Open(AddStore(WTEXT("070")));
    WString text = WTEXT("070 renamed");
    SPropValue value{PR_DISPLAY_NAME_W, 0, {}};
    value.Value.lpszW = text.data();
    EXPECT_TRUE(wrapper.SetProp(value));
    EXPECT_EQ(wrapper.GetDisplayName(text), WTEXT("070 renamed"));
    Phone().Fail("HrSetOneProp");
    EXPECT_FALSE(wrapper.SetProp(value));
}

// The device's cemapi has no one-property helpers: the platform layer builds them over the
// object's own GetProps and SetProps, and they must answer as the wrappers expect of mapi32's.
TEST_F(WrapperTest, TheDevicesOnePropertyHelpersGiveOneValueOrNone)
{
    struct Case {
        const char* name = nullptr;
        std::optional<sim::mapi::Prop> kept;
        const char* failCall = nullptr;
        HRESULT result = S_OK;
        const WCHAR* text = nullptr;  // none: no value is handed out
    };
    const ULONG errorTag = PROP_TAG(PT_ERROR, PROP_ID(PR_DISPLAY_NAME_W));
    const Case cases[] = {
        {"unicode text", sim::mapi::TextProp(PR_DISPLAY_NAME_W, WTEXT("070 Mail")), nullptr, S_OK,
         WTEXT("070 Mail")},
        {"missing", std::nullopt, nullptr, MAPI_E_NOT_FOUND},
        {"error value", sim::mapi::NumberProp(errorTag, MAPI_E_NO_SUPPORT), nullptr, MAPI_E_NO_SUPPORT},
        {"error value without a failure code", sim::mapi::NumberProp(errorTag, 0), nullptr, MAPI_E_NOT_FOUND},
        {"read fails", sim::mapi::TextProp(PR_DISPLAY_NAME_W, WTEXT("070 Mail")), "IMAPIProp::GetProps",
         MAPI_E_CALL_FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IMAPIProp* object = OpenStoreNamed(c.kept, c.failCall).GetMAPIProp();
        SPropValue leftOver{};
        LPSPropValue value = &leftOver;
        EXPECT_EQ(platform::GetOneProp(object, PR_DISPLAY_NAME_W, &value), c.result);
        if (c.text != nullptr) {
            ASSERT_NE(value, nullptr);
            EXPECT_EQ(value->ulPropTag, PR_DISPLAY_NAME_W);
            EXPECT_EQ(WString(value->Value.lpszW), c.text);
        } else {
            EXPECT_EQ(value, nullptr);
        }
        // One free gives back the value and the text it points to.
        MAPIFreeBuffer(value);
        EXPECT_EQ(sim::mapi::Accounting().liveBuffers, 0U);
    }

    Fresh();
    IMAPIProp* object = Open(AddStore(WTEXT("070"))).GetMAPIProp();
    WString text = WTEXT("070 renamed");
    SPropValue written{PR_DISPLAY_NAME_W, 0, {}};
    written.Value.lpszW = text.data();
    EXPECT_EQ(platform::SetOneProp(object, &written), S_OK);
    MAPI::PropValuePtr read;
    EXPECT_TRUE(stores_.back().GetProp(PR_DISPLAY_NAME_W, read));
    EXPECT_EQ(WString(read->Value.lpszW), WTEXT("070 renamed"));
    Phone().Fail("IMAPIProp::SetProps");
    EXPECT_TRUE(FAILED(platform::SetOneProp(object, &written)));
}

TEST_F(WrapperTest, ReadingTheOutboxFailsWhenTheTableRefusesAStep)
{
    struct Case {
        const char* failCall = nullptr;
        int nth = 0;
        Outcome count;
        Outcome read;
        std::size_t messages = 0;  // in the list after the read
    };
    const Case cases[] = {
        {"IMAPIFolder::GetContentsTable", 0, Thrown(MAPI::kNoContentsTable), Thrown(MAPI::kNoContentsTable)},
        {"IMAPITable::GetRowCount", 0, Thrown(MAPI::kNoMessageCount), Answer(false), 2},
        {"IMAPITable::SetColumns", 0, Answer(true), Thrown(MAPI::kNoMessages)},
        {"IMAPITable::SeekRow", 0, Answer(true), Thrown(MAPI::kNoMessages)},
        // The first row that can't be read must not pass for the end of an empty table.
        {"IMAPITable::QueryRows", 1, Answer(true), Thrown(MAPI::kNoMessages)},
        // Once a row was read, a read that fails ends the walk with the rows read so far.
        {"IMAPITable::QueryRows", 2, Answer(true), Answer(false), 1},
        {"IMAPITable::QueryRows", 3, Answer(true), Answer(false), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.failCall) + " #" + std::to_string(c.nth));
        Fresh();
        Store& store = AddStore(WTEXT("070"));
        AddOutboxMessage(store, WTEXT("a"));
        AddOutboxMessage(store, WTEXT("b"));
        MAPI::CFolder& outbox = *Open(store).GetOutbox();
        Phone().Fail(c.failCall, c.nth);
        EXPECT_EQ(Run([&] { return outbox.GetMessageCount() != 0; }), c.count);
        std::size_t listed = 0;
        EXPECT_EQ(Run([&] {
                      listed = outbox.GetMessages().size();
                      return listed == 0;
                  }),
                  c.read);
        EXPECT_EQ(listed, c.messages);
        EXPECT_EQ(sim::mapi::Accounting().liveBuffers, 0U);
    }
}

TEST_F(WrapperTest, QueryNextRowFreesOnlyWhatItWasGiven)
{
    Store& store = AddStore(WTEXT("070"));
    AddOutboxMessage(store);
    MAPI::CFolder& outbox = *Open(store).GetOutbox();
    IMAPITable* table = outbox.GetContentsTable();
    MAPI::RowSetPtr rows;
    HRESULT result = S_OK;

    EXPECT_TRUE(MAPI::QueryNextRow(table, rows, result));
    EXPECT_EQ(rows->cRows, 1U);
    EXPECT_FALSE(MAPI::QueryNextRow(table, rows, result));  // the end: the empty set is freed
    EXPECT_FALSE(rows);
    EXPECT_EQ(result, S_OK);
    Phone().Fail("IMAPITable::QueryRows");
    EXPECT_FALSE(MAPI::QueryNextRow(table, rows, result));
    EXPECT_TRUE(FAILED(result));
    EXPECT_EQ(Calls("FreeProws"), 2);
    EXPECT_EQ(sim::mapi::Accounting().liveBuffers, 0U);
}

}  // namespace
