// Thin owners of the store, folder and message objects that MAPI opens, with their property
// reads and the folder's contents table. A wrapper whose open failed holds no object and
// answers every question as a missing property would; it never faults.
#pragma once

#include <list>
#include <optional>

#include "mapi/holders.h"
#include "platform/mapi.h"
#include "platform/text.h"

namespace MAPI {

// Held and destroyed only through the derived classes, which override none of these: there
// is deliberately no virtual destructor.
class CBase {
public:
    CBase(const CBase&) = delete;
    CBase& operator=(const CBase&) = delete;

    virtual WString& GetDisplayName(WString& text);
    // The caller owns the value. True only for a value of exactly the tag asked for: an error
    // value or one of another type reads as missing.
    virtual bool GetProp(ULONG tag, PropValuePtr& value);
    virtual bool SetProp(SPropValue& value);
    virtual WString& GetStringProp(WString& text, ULONG tag);
    virtual void GetTimeProp(ULONG tag, SYSTEMTIME& time);
    virtual bool GetEntryID(PropValuePtr& value);
    virtual IMAPIProp* GetMAPIProp();

protected:
    explicit CBase(IMAPISession* session) : session_(session) {}
    ~CBase() = default;

    [[nodiscard]] IMAPISession* Session() const { return session_; }
    void Hold(IMAPIProp* opened) { object_ = InterfacePtr<IMAPIProp>(opened); }
    // Gives the object back and forgets the session; safe to repeat.
    void ReleaseObject();

private:
    IMAPISession* session_;  // borrowed from the logon session
    InterfacePtr<IMAPIProp> object_;
};

class CMessage final : public CBase {
public:
    CMessage(IMAPISession* session, ULONG entryIdSize, LPENTRYID entryId);
    ~CMessage() { Close(); }
    void Close() { ReleaseObject(); }
};

class CFolder final : public CBase {
public:
    // Answers true to go on to the next row.
    using RowCallback = bool (*)(CFolder& folder, const SRow& row, void* context, const SRowSet& rows);

    CFolder(IMAPISession* session, IMsgStore* store, ULONG entryIdSize, LPENTRYID entryId, WString storeName);
    ~CFolder() { Close(); }

    // A fresh table (the one held so far is released first); null when the folder gives none.
    IMAPITable* GetContentsTable();
    ULONG GetMessageCount();
    // Walks a fresh contents table from its first row, one row at a time, with the columns.
    // A read that fails after the first row ends the walk; only one before it is thrown.
    void ForEachRow(RowCallback callback, SPropTagArray& columns, void* context);
    // The folder's messages, read afresh; each opened, and kept also when its open failed.
    std::list<CMessage>& GetMessages();
    static bool AddMessage(CFolder& folder, const SRow& row, void* context, const SRowSet& rows);
    void Close();

    // The store's display name, then a backslash and the folder's unless it is the root.
    [[nodiscard]] const WString& Path() const { return path_; }

private:
    IMAPITable& RequireContentsTable();

    InterfacePtr<IMAPITable> contentsTable_;
    WString path_;
    std::list<CMessage> messages_;
};

class CMsgStore final : public CBase {
public:
    CMsgStore(IMAPISession* session, ULONG entryIdSize, LPENTRYID entryId);
    ~CMsgStore() { Close(); }

    // Opened on the first call and kept; null when the store names no Outbox.
    CFolder* GetOutbox();
    // The folder that the store's binary property tag names, kept in slot; null when the
    // store lacks the property.
    CFolder* GetFolder(ULONG tag, std::optional<CFolder>& slot);
    void Close();

private:
    std::optional<CFolder> outbox_;
};

// Reads the table's next row into rows: true when it holds exactly one. The end of the table
// (rows then freed) and a failed read (result then its code) both answer false.
bool QueryNextRow(IMAPITable* table, RowSetPtr& rows, HRESULT& result);
bool QueryNextRow(IMAPITable* table, RowSetPtr& rows);

// The entry identifier in the row's column, when that value is one.
const SBinary* FindEntryId(const SRow& row, ULONG column);
LPENTRYID EntryIdBytes(const SBinary& id);

// Destroys the wrappers front to back, whatever order the library would choose.
template <class Wrapper>
void DestroyInOrder(std::list<Wrapper>& wrappers)
{
    while (!wrappers.empty()) {
        wrappers.pop_front();
    }
}

}  // namespace MAPI
