// A message store provider that Wine's mapi32 loads as the default mail client's Extended MAPI
// library. It serves the stores of the state folder:
//   stores.txt         one line per store: its display name (UTF-8), in table order;
//   outbox-<n>.txt     the Outbox of store n: one line per message.
// The files are read at the moment they are asked for, so that what the Messaging and phone
// stand-ins change between two inspections shows in the second one.
//
// Values and row sets come from mapi32's own allocator, which its FreeProws and MAPIFreeBuffer
// free. Every object counts itself; MAPIUninitialize records how many are still alive, and a
// release past zero is recorded, so that the driver sees leaks and double releases.
#include <windows.h>

#include <mapidefs.h>
#include <mapitags.h>
#include <mapix.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "common/standin.h"

// The interfaces' many methods that the program never calls answer MAPI_E_NO_SUPPORT; their
// parameters are unused by design.
#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace {

std::atomic<long> liveObjects{0};

void Log(const std::string& what, const std::string& detail = {})
{
    standin::Record(standin::StatePath(L"mapi.log"), what, detail);
}

// mapi32's allocator, looked up at run time: mapi32 is always loaded when it loads us.
struct Allocator {
    LPALLOCATEBUFFER allocate = nullptr;
    LPALLOCATEMORE more = nullptr;
};

const Allocator& Mapi()
{
    static const Allocator allocator = [] {
        Allocator found;
        HMODULE mapi32 = GetModuleHandleW(L"mapi32.dll");
        if (mapi32 != nullptr) {
            found.allocate = reinterpret_cast<LPALLOCATEBUFFER>(
                reinterpret_cast<void*>(GetProcAddress(mapi32, "MAPIAllocateBuffer")));
            found.more = reinterpret_cast<LPALLOCATEMORE>(
                reinterpret_cast<void*>(GetProcAddress(mapi32, "MAPIAllocateMore")));
        }
        return found;
    }();
    return allocator;
}

// ---------------------------------------------------------------------------------------------
// The data: what the files hold, as property values.

struct Value {
    ULONG tag = 0;
    std::wstring text;  // PT_UNICODE
    std::string bytes;  // PT_BINARY
};
using Props = std::vector<Value>;

Value Text(ULONG tag, const std::wstring& text)
{
    return Value{tag, text, {}};
}
Value Binary(ULONG tag, const std::string& bytes)
{
    return Value{tag, {}, bytes};
}

// Entry identifiers: four flag bytes, then a readable name of the object.
std::string EntryId(const std::string& name)
{
    return std::string(4, '\0') + name;
}
std::string StoreId(size_t store)
{
    return EntryId("store:" + std::to_string(store));
}
std::string OutboxId(size_t store)
{
    return EntryId("outbox:" + std::to_string(store));
}
std::string MessageId(size_t store, size_t message)
{
    return EntryId("message:" + std::to_string(store) + ":" + std::to_string(message));
}

std::string EntryName(ULONG size, LPENTRYID id)
{
    if (id == nullptr || size < 4) {
        return {};
    }
    return {reinterpret_cast<const char*>(id) + 4, size - 4};
}

// Splits "kind:a:b" into its numbers when the kind matches.
bool ParseEntry(const std::string& name, const std::string& kind, std::vector<size_t>& numbers)
{
    if (name.rfind(kind + ":", 0) != 0) {
        return false;
    }
    numbers.clear();
    size_t start = kind.size() + 1;
    while (start <= name.size()) {
        const size_t end = name.find(':', start);
        const std::string part =
            name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        numbers.push_back(std::stoul(part));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return true;
}

std::vector<std::wstring> StoreNames()
{
    return standin::ReadLines(standin::StatePath(L"stores.txt"));
}

std::vector<std::wstring> OutboxMessages(size_t store)
{
    return standin::ReadLines(standin::StatePath(L"outbox-" + std::to_wstring(store) + L".txt"));
}

// ---------------------------------------------------------------------------------------------
// Copying values out through the MAPI allocator.

const Value* Find(const Props& props, ULONG tag)
{
    for (const auto& value : props) {
        if (value.tag == tag) {
            return &value;
        }
    }
    return nullptr;
}

// Fills one SPropValue; strings and bytes hang off `base`. Answers false for a missing value.
bool CopyValue(const Props& props, ULONG tag, SPropValue& out, void* base)
{
    out = SPropValue{};
    const Value* value = Find(props, tag);
    if (value == nullptr) {
        out.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
        out.Value.err = MAPI_E_NOT_FOUND;
        return false;
    }
    out.ulPropTag = tag;
    void* memory = nullptr;
    if (PROP_TYPE(tag) == PT_UNICODE) {
        const auto size = static_cast<ULONG>((value->text.size() + 1) * sizeof(wchar_t));
        Mapi().more(size, base, &memory);
        std::memcpy(memory, value->text.c_str(), size);
        out.Value.lpszW = static_cast<LPWSTR>(memory);
    } else {
        const auto size = static_cast<ULONG>(value->bytes.size());
        Mapi().more(size == 0 ? 1 : size, base, &memory);
        std::memcpy(memory, value->bytes.data(), size);
        out.Value.bin.cb = size;
        out.Value.bin.lpb = static_cast<LPBYTE>(memory);
    }
    return true;
}

std::vector<ULONG> AllTags(const Props& props)
{
    std::vector<ULONG> tags;
    for (const auto& value : props) {
        tags.push_back(value.tag);
    }
    return tags;
}

std::vector<ULONG> TagList(LPSPropTagArray tags, const Props& props)
{
    if (tags == nullptr) {
        return AllTags(props);
    }
    return {tags->aulPropTag, tags->aulPropTag + tags->cValues};
}

// An array of values from one allocation, as GetProps and a table row give them.
HRESULT CopyValues(const Props& props, const std::vector<ULONG>& tags, ULONG& count, LPSPropValue& values)
{
    void* memory = nullptr;
    const auto size = static_cast<ULONG>(std::max<size_t>(tags.size(), 1) * sizeof(SPropValue));
    if (Mapi().allocate == nullptr || Mapi().allocate(size, &memory) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    values = static_cast<LPSPropValue>(memory);
    count = static_cast<ULONG>(tags.size());
    bool allFound = true;
    for (size_t i = 0; i < tags.size(); ++i) {
        allFound = CopyValue(props, tags[i], values[i], memory) && allFound;
    }
    return allFound ? S_OK : MAPI_W_ERRORS_RETURNED;
}

// ---------------------------------------------------------------------------------------------
// Objects.

#define NO_SUPPORT                \
    {                             \
        return MAPI_E_NO_SUPPORT; \
    }

// IUnknown for every object, with the accounting.
template <class Interface>
class Object : public Interface {
public:
    explicit Object(std::string kind) : kind_(std::move(kind))
    {
        ++liveObjects;
        Log("open", kind_);
    }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    STDMETHODIMP QueryInterface(REFIID /*iid*/, void** out) noexcept override
    {
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() noexcept override
    {
        if (references_ <= 0) {
            Log("over-release", kind_);
            return 0;
        }
        const long left = --references_;
        if (left == 0) {
            Log("release", kind_);
            --liveObjects;
            delete this;  // NOLINT(cppcoreguidelines-owning-memory): the last reference is gone
        }
        return static_cast<ULONG>(left);
    }

private:
    std::string kind_;
    std::atomic<long> references_{1};
};

template <class Interface>
class PropObject : public Object<Interface> {
public:
    PropObject(std::string kind, Props props) : Object<Interface>(std::move(kind)), props_(std::move(props))
    {
    }

    STDMETHODIMP GetProps(LPSPropTagArray tags, ULONG /*flags*/, ULONG* count,
                          LPSPropValue* values) noexcept override
    {
        if (count == nullptr || values == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        return CopyValues(props_, TagList(tags, props_), *count, *values);
    }
    MAPIMETHOD(GetLastError)(HRESULT, ULONG, LPMAPIERROR*) noexcept override NO_SUPPORT;
    MAPIMETHOD(SaveChanges)(ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetPropList)(ULONG, LPSPropTagArray*) noexcept override NO_SUPPORT;
    MAPIMETHOD(OpenProperty)(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) noexcept override NO_SUPPORT;
    MAPIMETHOD(SetProps)(ULONG, LPSPropValue, LPSPropProblemArray*) noexcept override NO_SUPPORT;
    MAPIMETHOD(DeleteProps)(LPSPropTagArray, LPSPropProblemArray*) noexcept override NO_SUPPORT;
    MAPIMETHOD(CopyTo)
    (ULONG, LPCIID, LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
     LPSPropProblemArray*) noexcept override NO_SUPPORT;
    MAPIMETHOD(CopyProps)
    (LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
     LPSPropProblemArray*) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetNamesFromIDs)
    (LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetIDsFromNames)(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) noexcept override NO_SUPPORT;

private:
    Props props_;
};

// A table over rows fixed when it was made.
class Table : public Object<IMAPITable> {
public:
    Table(std::string kind, std::vector<Props> rows) : Object(std::move(kind)), rows_(std::move(rows))
    {
        if (!rows_.empty()) {
            columns_ = AllTags(rows_.front());
        }
    }

    STDMETHODIMP SetColumns(LPSPropTagArray tags, ULONG /*flags*/) noexcept override
    {
        if (tags == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        columns_.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
        return S_OK;
    }
    STDMETHODIMP GetRowCount(ULONG /*flags*/, ULONG* count) noexcept override
    {
        if (count == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *count = static_cast<ULONG>(rows_.size());
        return S_OK;
    }
    STDMETHODIMP SeekRow(BOOKMARK origin, LONG rows, LONG* sought) noexcept override
    {
        LONG start = 0;
        if (origin == BOOKMARK_CURRENT) {
            start = cursor_;
        } else if (origin == BOOKMARK_END) {
            start = static_cast<LONG>(rows_.size());
        } else if (origin != BOOKMARK_BEGINNING) {
            return MAPI_E_INVALID_BOOKMARK;
        }
        const LONG target = std::clamp<LONG>(start + rows, 0, static_cast<LONG>(rows_.size()));
        if (sought != nullptr) {
            *sought = target - start;
        }
        cursor_ = target;
        return S_OK;
    }
    STDMETHODIMP QueryRows(LONG count, ULONG /*flags*/, LPSRowSet* rows) noexcept override
    {
        if (rows == nullptr || count < 0) {
            return MAPI_E_INVALID_PARAMETER;
        }
        const auto available = static_cast<LONG>(rows_.size()) - cursor_;
        const LONG taken = std::min(count, available);
        void* memory = nullptr;
        if (Mapi().allocate == nullptr || Mapi().allocate(CbNewSRowSet(taken), &memory) != S_OK) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        auto* set = static_cast<LPSRowSet>(memory);
        set->cRows = 0;
        for (LONG i = 0; i < taken; ++i) {
            SRow& row = set->aRow[i];
            row = SRow{};
            CopyValues(rows_[static_cast<size_t>(cursor_)], columns_, row.cValues, row.lpProps);
            ++set->cRows;
            ++cursor_;
        }
        *rows = set;
        return S_OK;
    }

    MAPIMETHOD(GetLastError)(HRESULT, ULONG, LPMAPIERROR*) noexcept override NO_SUPPORT;
    MAPIMETHOD(Advise)(ULONG, LPMAPIADVISESINK, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(Unadvise)(ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetStatus)(ULONG*, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(QueryColumns)(ULONG, LPSPropTagArray*) noexcept override NO_SUPPORT;
    MAPIMETHOD(SeekRowApprox)(ULONG, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(QueryPosition)(ULONG*, ULONG*, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(FindRow)(LPSRestriction, BOOKMARK, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(Restrict)(LPSRestriction, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(CreateBookmark)(BOOKMARK*) noexcept override NO_SUPPORT;
    MAPIMETHOD(FreeBookmark)(BOOKMARK) noexcept override NO_SUPPORT;
    MAPIMETHOD(SortTable)(LPSSortOrderSet, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(QuerySortOrder)(LPSSortOrderSet*) noexcept override NO_SUPPORT;
    MAPIMETHOD(Abort)() noexcept override NO_SUPPORT;
    MAPIMETHOD(ExpandRow)(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet*, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(CollapseRow)(ULONG, LPBYTE, ULONG, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(WaitForCompletion)(ULONG, ULONG, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetCollapseState)(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) noexcept override NO_SUPPORT;
    MAPIMETHOD(SetCollapseState)(ULONG, ULONG, LPBYTE, BOOKMARK*) noexcept override NO_SUPPORT;

private:
    std::vector<Props> rows_;
    std::vector<ULONG> columns_;
    LONG cursor_ = 0;
};

// Hands out a new object holding its first reference: from then on a COM object owns itself and
// goes with its last Release. No exception may cross the interface.
template <class T, class Out, class... Args>
HRESULT Create(Out* out, Args&&... args) noexcept
{
    try {
        *out = new T(std::forward<Args>(args)...);  // NOLINT(cppcoreguidelines-owning-memory)
        return S_OK;
    } catch (...) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
}

Props MessageProps(size_t store, size_t index, const std::wstring& subject)
{
    return {Binary(PR_ENTRYID, MessageId(store, index)), Text(PR_SUBJECT_W, subject)};
}

class Message : public PropObject<IMessage> {
public:
    Message(size_t store, size_t index, const std::wstring& subject)
        : PropObject("message", MessageProps(store, index, subject))
    {
    }

    MAPIMETHOD(GetAttachmentTable)(ULONG, LPMAPITABLE*) noexcept override NO_SUPPORT;
    MAPIMETHOD(OpenAttach)(ULONG, LPCIID, ULONG, LPATTACH*) noexcept override NO_SUPPORT;
    MAPIMETHOD(CreateAttach)(LPCIID, ULONG, ULONG*, LPATTACH*) noexcept override NO_SUPPORT;
    MAPIMETHOD(DeleteAttach)(ULONG, ULONG, LPMAPIPROGRESS, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetRecipientTable)(ULONG, LPMAPITABLE*) noexcept override NO_SUPPORT;
    MAPIMETHOD(ModifyRecipients)(ULONG, LPADRLIST) noexcept override NO_SUPPORT;
    MAPIMETHOD(SubmitMessage)(ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(SetReadFlag)(ULONG) noexcept override NO_SUPPORT;
};

// Opens a message of an Outbox as it stands now; a message that has left it is not found.
HRESULT OpenMessage(const std::string& name, ULONG* type, LPUNKNOWN* object)
{
    std::vector<size_t> numbers;
    if (!ParseEntry(name, "message", numbers) || numbers.size() != 2) {
        return MAPI_E_NOT_FOUND;
    }
    const auto messages = OutboxMessages(numbers[0]);
    if (numbers[1] >= messages.size()) {
        return MAPI_E_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = MAPI_MESSAGE;
    }
    return Create<Message>(object, numbers[0], numbers[1], messages[numbers[1]]);
}

class Outbox : public PropObject<IMAPIFolder> {
public:
    explicit Outbox(size_t store)
        : PropObject("outbox", {Binary(PR_ENTRYID, OutboxId(store)), Text(PR_DISPLAY_NAME_W, L"Outbox")}),
          store_(store)
    {
    }

    STDMETHODIMP GetContentsTable(ULONG /*flags*/, LPMAPITABLE* table) noexcept override
    {
        if (table == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        std::vector<Props> rows;
        const auto messages = OutboxMessages(store_);
        for (size_t i = 0; i < messages.size(); ++i) {
            rows.push_back(MessageProps(store_, i, messages[i]));
        }
        return Create<Table>(table, "contents", std::move(rows));
    }
    STDMETHODIMP OpenEntry(ULONG size, LPENTRYID id, LPCIID /*iid*/, ULONG /*flags*/, ULONG* type,
                           LPUNKNOWN* object) noexcept override
    {
        return object == nullptr ? MAPI_E_INVALID_PARAMETER : OpenMessage(EntryName(size, id), type, object);
    }

    MAPIMETHOD(GetHierarchyTable)(ULONG, LPMAPITABLE*) noexcept override NO_SUPPORT;
    MAPIMETHOD(SetSearchCriteria)(LPSRestriction, LPENTRYLIST, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetSearchCriteria)(ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(CreateMessage)(LPCIID, ULONG, LPMESSAGE*) noexcept override NO_SUPPORT;
    MAPIMETHOD(CopyMessages)
    (LPENTRYLIST, LPCIID, LPVOID, ULONG, LPMAPIPROGRESS, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(DeleteMessages)(LPENTRYLIST, ULONG, LPMAPIPROGRESS, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(CreateFolder)
    (ULONG, LPTSTR, LPTSTR, LPCIID, ULONG, LPMAPIFOLDER*) noexcept override NO_SUPPORT;
    MAPIMETHOD(CopyFolder)
    (ULONG, LPENTRYID, LPCIID, LPVOID, LPTSTR, ULONG, LPMAPIPROGRESS, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(DeleteFolder)(ULONG, LPENTRYID, ULONG, LPMAPIPROGRESS, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(SetReadFlags)(LPENTRYLIST, ULONG, LPMAPIPROGRESS, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetMessageStatus)(ULONG, LPENTRYID, ULONG, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(SetMessageStatus)(ULONG, LPENTRYID, ULONG, ULONG, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(SaveContentsSort)(LPSSortOrderSet, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(EmptyFolder)(ULONG, LPMAPIPROGRESS, ULONG) noexcept override NO_SUPPORT;

private:
    size_t store_;
};

Props StoreProps(size_t store, const std::wstring& name)
{
    return {Text(PR_DISPLAY_NAME_W, name), Binary(PR_ENTRYID, StoreId(store)),
            Binary(PR_IPM_OUTBOX_ENTRYID, OutboxId(store))};
}

class Store : public PropObject<IMsgStore> {
public:
    Store(size_t store, const std::wstring& name)
        : PropObject("store", StoreProps(store, name)), store_(store)
    {
    }

    STDMETHODIMP OpenEntry(ULONG size, LPENTRYID id, LPCIID /*iid*/, ULONG /*flags*/, ULONG* type,
                           LPUNKNOWN* object) noexcept override
    {
        if (object == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        const std::string name = EntryName(size, id);
        std::vector<size_t> numbers;
        if (ParseEntry(name, "outbox", numbers) && numbers.size() == 1 && numbers[0] == store_) {
            if (type != nullptr) {
                *type = MAPI_FOLDER;
            }
            return Create<Outbox>(object, store_);
        }
        return OpenMessage(name, type, object);
    }

    MAPIMETHOD(Advise)(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(Unadvise)(ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(CompareEntryIDs)
    (ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(SetReceiveFolder)(LPTSTR, ULONG, ULONG, LPENTRYID) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetReceiveFolder)(LPTSTR, ULONG, ULONG*, LPENTRYID*, LPTSTR*) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetReceiveFolderTable)(ULONG, LPMAPITABLE*) noexcept override NO_SUPPORT;
    MAPIMETHOD(StoreLogoff)(ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(AbortSubmit)(ULONG, LPENTRYID, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetOutgoingQueue)(ULONG, LPMAPITABLE*) noexcept override NO_SUPPORT;
    MAPIMETHOD(SetLockState)(LPMESSAGE, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(FinishedMsg)(ULONG, ULONG, LPENTRYID) noexcept override NO_SUPPORT;
    MAPIMETHOD(NotifyNewMail)(LPNOTIFICATION) noexcept override NO_SUPPORT;

private:
    size_t store_;
};

class Session : public Object<IMAPISession> {
public:
    Session() : Object("session") {}

    STDMETHODIMP GetMsgStoresTable(ULONG /*flags*/, LPMAPITABLE* table) noexcept override
    {
        if (table == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        std::vector<Props> rows;
        const auto names = StoreNames();
        for (size_t i = 0; i < names.size(); ++i) {
            rows.push_back({Text(PR_DISPLAY_NAME_W, names[i]), Binary(PR_ENTRYID, StoreId(i))});
        }
        return Create<Table>(table, "stores", std::move(rows));
    }
    STDMETHODIMP OpenMsgStore(ULONG_PTR /*ui*/, ULONG size, LPENTRYID id, LPCIID /*iid*/, ULONG /*flags*/,
                              LPMDB* store) noexcept override
    {
        if (store == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        std::vector<size_t> numbers;
        const auto names = StoreNames();
        if (!ParseEntry(EntryName(size, id), "store", numbers) || numbers.size() != 1 ||
            numbers[0] >= names.size()) {
            return MAPI_E_NOT_FOUND;
        }
        return Create<Store>(store, numbers[0], names[numbers[0]]);
    }
    STDMETHODIMP OpenEntry(ULONG size, LPENTRYID id, LPCIID /*iid*/, ULONG /*flags*/, ULONG* type,
                           LPUNKNOWN* object) noexcept override
    {
        return object == nullptr ? MAPI_E_INVALID_PARAMETER : OpenMessage(EntryName(size, id), type, object);
    }

    MAPIMETHOD(GetLastError)(HRESULT, ULONG, LPMAPIERROR*) noexcept override NO_SUPPORT;
    MAPIMETHOD(OpenAddressBook)(ULONG_PTR, LPCIID, ULONG, LPADRBOOK*) noexcept override NO_SUPPORT;
    MAPIMETHOD(OpenProfileSection)(LPMAPIUID, LPCIID, ULONG, LPPROFSECT*) noexcept override NO_SUPPORT;
    MAPIMETHOD(GetStatusTable)(ULONG, LPMAPITABLE*) noexcept override NO_SUPPORT;
    MAPIMETHOD(CompareEntryIDs)
    (ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(Advise)(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) noexcept override NO_SUPPORT;
    MAPIMETHOD(Unadvise)(ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(MessageOptions)(ULONG_PTR, ULONG, LPTSTR, LPMESSAGE) noexcept override NO_SUPPORT;
    MAPIMETHOD(QueryDefaultMessageOpt)(LPTSTR, ULONG, ULONG*, LPSPropValue*) noexcept override NO_SUPPORT;
    MAPIMETHOD(EnumAdrTypes)(ULONG, ULONG*, LPTSTR**) noexcept override NO_SUPPORT;
    MAPIMETHOD(QueryIdentity)(ULONG*, LPENTRYID*) noexcept override NO_SUPPORT;
    MAPIMETHOD(Logoff)(ULONG_PTR, ULONG, ULONG) noexcept override NO_SUPPORT;
    MAPIMETHOD(SetDefaultStore)(ULONG, ULONG, LPENTRYID) noexcept override NO_SUPPORT;
    MAPIMETHOD(AdminServices)(ULONG, LPSERVICEADMIN*) noexcept override NO_SUPPORT;
    MAPIMETHOD(ShowForm)
    (ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG, ULONG, ULONG,
     LPSTR) noexcept override NO_SUPPORT;
    MAPIMETHOD(PrepareForm)(LPCIID, LPMESSAGE, ULONG*) noexcept override NO_SUPPORT;
};

}  // namespace

// The three entry points mapi32 forwards to the library.
extern "C" {

HRESULT WINAPI StoreInitialize(LPVOID /*init*/)
{
    Log("initialize");
    return S_OK;
}

void WINAPI StoreUninitialize()
{
    Log("uninitialize", "live=" + std::to_string(liveObjects.load()));
}

HRESULT WINAPI StoreLogonEx(ULONG_PTR /*ui*/, LPTSTR /*profile*/, LPTSTR /*password*/, ULONG flags,
                            LPMAPISESSION* session)
{
    Log("logon", "flags=" + std::to_string(flags));
    if (session == nullptr) {
        return MAPI_E_INVALID_PARAMETER;
    }
    return Create<Session>(session);
}

}  // extern "C"
