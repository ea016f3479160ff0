#include "mapi/wrappers.h"

#include "mapi/messages.h"
#include "shared/thrown_message.h"

namespace MAPI {

namespace {

// An empty identifier would open whatever the store or session takes as its default (a
// store's root folder), never the object meant, so it opens nothing.
bool NamesAnObject(ULONG entryIdSize, LPENTRYID entryId)
{
    return entryIdSize != 0 && entryId != nullptr;
}

constexpr WStringView kRootFolderName = WTEXT("IPM.Root");

}  // namespace

WString& CBase::GetDisplayName(WString& text)
{
    return GetStringProp(text, PR_DISPLAY_NAME_W);
}

bool CBase::GetProp(ULONG tag, PropValuePtr& value)
{
    value.reset();
    IMAPIProp* object = GetMAPIProp();
    if (object == nullptr) {
        return false;
    }
    // The out-parameter of a failed call is never trusted: a provider may already have freed
    // what it points to.
    LPSPropValue read = nullptr;
    if (FAILED(HrGetOneProp(object, tag, &read))) {
        return false;
    }
    value.reset(read);
    if (!value || value->ulPropTag != tag) {
        value.reset();
        return false;
    }
    return true;
}

bool CBase::SetProp(SPropValue& value)
{
    IMAPIProp* object = GetMAPIProp();
    return object != nullptr && SUCCEEDED(HrSetOneProp(object, &value));
}

WString& CBase::GetStringProp(WString& text, ULONG tag)
{
    text.clear();
    PropValuePtr value;
    if (PROP_TYPE(tag) == PT_UNICODE && GetProp(tag, value) && value->Value.lpszW != nullptr) {
        text = value->Value.lpszW;
    }
    return text;
}

void CBase::GetTimeProp(ULONG tag, SYSTEMTIME& time)
{
    PropValuePtr value;
    SYSTEMTIME converted{};
    if (PROP_TYPE(tag) == PT_SYSTIME && GetProp(tag, value) &&
        FileTimeToSystemTime(&value->Value.ft, &converted)) {
        time = converted;
    }
}

bool CBase::GetEntryID(PropValuePtr& value)
{
    return GetProp(PR_ENTRYID, value);
}

IMAPIProp* CBase::GetMAPIProp()
{
    return object_.Get();
}

void CBase::ReleaseObject()
{
    object_.Reset();
    session_ = nullptr;
}

CMessage::CMessage(IMAPISession* session, ULONG entryIdSize, LPENTRYID entryId) : CBase(session)
{
    IUnknown* opened = nullptr;
    if (session == nullptr || !NamesAnObject(entryIdSize, entryId) ||
        FAILED(session->OpenEntry(entryIdSize, entryId, nullptr, MAPI_BEST_ACCESS, nullptr, &opened)) ||
        opened == nullptr) {
        Close();
        return;
    }
    Hold(static_cast<IMAPIProp*>(static_cast<IMessage*>(opened)));
}

CFolder::CFolder(IMAPISession* session, IMsgStore* store, ULONG entryIdSize, LPENTRYID entryId,
                 WString storeName)
    : CBase(session), path_(std::move(storeName))
{
    IUnknown* opened = nullptr;
    if (store == nullptr || !NamesAnObject(entryIdSize, entryId) ||
        FAILED(store->OpenEntry(entryIdSize, entryId, nullptr, MAPI_BEST_ACCESS, nullptr, &opened)) ||
        opened == nullptr) {
        Close();
        return;
    }
    Hold(static_cast<IMAPIProp*>(static_cast<IMAPIFolder*>(opened)));
    WString name;
    if (GetDisplayName(name) == kRootFolderName) {
        return;
    }
    // The name is read afresh for the path: what is appended is the folder's name as it reads
    // now, not the reading that told the folder from the root.
    path_ += WTEXT('\\');
    path_ += GetDisplayName(name);
}

IMAPITable* CFolder::GetContentsTable()
{
    contentsTable_.Reset();
    auto* folder = static_cast<IMAPIFolder*>(GetMAPIProp());
    if (folder != nullptr) {
        Acquire(contentsTable_, [&](LPMAPITABLE* table) { return folder->GetContentsTable(0, table); });
    }
    return contentsTable_.Get();
}

IMAPITable& CFolder::RequireContentsTable()
{
    IMAPITable* table = GetContentsTable();
    if (table == nullptr) {
        throw ThrownMessage(kNoContentsTable);
    }
    return *table;
}

ULONG CFolder::GetMessageCount()
{
    ULONG count = 0;
    if (FAILED(RequireContentsTable().GetRowCount(0, &count))) {
        throw ThrownMessage(kNoMessageCount);
    }
    return count;
}

void CFolder::ForEachRow(RowCallback callback, SPropTagArray& columns, void* context)
{
    IMAPITable& table = RequireContentsTable();
    if (FAILED(table.SetColumns(&columns, 0)) || FAILED(table.SeekRow(BOOKMARK_BEGINNING, 0, nullptr))) {
        throw ThrownMessage(kNoMessages);
    }
    RowSetPtr rows;
    HRESULT result = S_OK;
    bool anyRead = false;
    while (QueryNextRow(&table, rows, result)) {
        anyRead = true;
        const bool goOn = callback(*this, rows->aRow[0], context, *rows);
        rows.reset();
        if (!goOn) {
            return;
        }
    }
    // A failed first read would pass for an empty folder, and an Outbox that was never seen
    // would count as sent. Once a row has been read the folder is known not to be empty, and a
    // failed read ends the walk as the table's end does.
    if (FAILED(result) && !anyRead) {
        throw ThrownMessage(kNoMessages);
    }
}

std::list<CMessage>& CFolder::GetMessages()
{
    DestroyInOrder(messages_);
    SPropTagArray columns{1, {PR_ENTRYID}};
    ForEachRow(&CFolder::AddMessage, columns, &messages_);
    return messages_;
}

bool CFolder::AddMessage(CFolder& folder, const SRow& row, void* context, const SRowSet& /*rows*/)
{
    auto& messages = *static_cast<std::list<CMessage>*>(context);
    const SBinary* id = FindEntryId(row, 0);
    messages.emplace_back(folder.Session(), id != nullptr ? id->cb : 0,
                          id != nullptr ? EntryIdBytes(*id) : nullptr);
    return true;
}

void CFolder::Close()
{
    DestroyInOrder(messages_);
    contentsTable_.Reset();
    ReleaseObject();
}

CMsgStore::CMsgStore(IMAPISession* session, ULONG entryIdSize, LPENTRYID entryId) : CBase(session)
{
    LPMDB opened = nullptr;
    if (session == nullptr || !NamesAnObject(entryIdSize, entryId) ||
        FAILED(session->OpenMsgStore(0, entryIdSize, entryId, nullptr, 0, &opened)) || opened == nullptr) {
        Close();
        return;
    }
    Hold(opened);
}

CFolder* CMsgStore::GetOutbox()
{
    return GetFolder(PR_IPM_OUTBOX_ENTRYID, outbox_);
}

CFolder* CMsgStore::GetFolder(ULONG tag, std::optional<CFolder>& slot)
{
    if (slot) {
        return &*slot;
    }
    PropValuePtr value;
    if (PROP_TYPE(tag) != PT_BINARY || !GetProp(tag, value)) {
        return nullptr;
    }
    WString storeName;
    GetDisplayName(storeName);
    const SBinary& id = value->Value.bin;
    slot.emplace(Session(), static_cast<IMsgStore*>(GetMAPIProp()), id.cb, EntryIdBytes(id), storeName);
    return &*slot;
}

void CMsgStore::Close()
{
    outbox_.reset();
    ReleaseObject();
}

bool QueryNextRow(IMAPITable* table, RowSetPtr& rows, HRESULT& result)
{
    rows.reset();
    LPSRowSet read = nullptr;
    result = table->QueryRows(1, 0, &read);
    if (FAILED(result)) {
        return false;
    }
    rows.reset(read);
    if (rows && rows->cRows == 1) {
        return true;
    }
    rows.reset();
    return false;
}

bool QueryNextRow(IMAPITable* table, RowSetPtr& rows)
{
    HRESULT result = S_OK;
    return QueryNextRow(table, rows, result);
}

const SBinary* FindEntryId(const SRow& row, ULONG column)
{
    if (row.lpProps == nullptr || column >= row.cValues) {
        return nullptr;
    }
    const SPropValue& value = row.lpProps[column];
    return value.ulPropTag == PR_ENTRYID ? &value.Value.bin : nullptr;
}

LPENTRYID EntryIdBytes(const SBinary& id)
{
    return reinterpret_cast<LPENTRYID>(id.lpb);
}

}  // namespace MAPI
