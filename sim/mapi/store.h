// The message stores of the simulated phone, as MAPI shows them to the program: a session over
// an ordered list of stores, each with folders (one of them the Outbox) holding messages.
//
// Tests, the runner and the other parties set the stores up and change them here at any time
// (the Messaging program moves a draft into the Outbox, the phone's software sends it); the
// program reaches them only through the names in platform/mapi.h. Phone::Reset empties them.
//
// Calls that can be made to fail with Phone::Fail, by these names: "CoInitializeEx",
// "MAPIInitialize", "MAPILogonEx", "IMAPISession::GetMsgStoresTable",
// "IMAPISession::OpenMsgStore", "IMAPISession::OpenEntry", "IMsgStore::OpenEntry",
// "IMAPIFolder::GetContentsTable", "IMAPITable::SetColumns", "IMAPITable::GetRowCount",
// "IMAPITable::SeekRow", "IMAPITable::QueryRows", "HrGetOneProp", "HrSetOneProp", and the
// objects' own "IMAPIProp::GetProps" and "IMAPIProp::SetProps", on which the device builds the
// one-property helpers.
// COM already initialised on the thread is set up by calling CoInitializeEx before the program.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/mapi.h"
#include "platform/text.h"

namespace sim::mapi {

using EntryId = std::vector<BYTE>;

// A property as a store keeps it. Its tag's type says which member holds the value: PT_UNICODE
// text, PT_BINARY bytes, PT_SYSTIME time, PT_LONG a number and PT_ERROR an error code. A
// property may be kept under any type: the store hands it out as kept, as a lax provider does.
struct Prop {
    ULONG tag = 0;
    WString text;
    EntryId bytes;
    FILETIME time{};
    LONG number = 0;
};

inline Prop TextProp(ULONG tag, const WString& text)
{
    return {tag, text, {}, {}, 0};
}
inline Prop BytesProp(ULONG tag, const EntryId& bytes)
{
    return {tag, {}, bytes, {}, 0};
}
inline Prop TimeProp(ULONG tag, FILETIME time)
{
    return {tag, {}, {}, time, 0};
}
// A PT_LONG number, or the code of a PT_ERROR value.
inline Prop NumberProp(ULONG tag, LONG number)
{
    return {tag, {}, {}, {}, number};
}

// How a table's row shows an object's entry identifier: as it is; as an error value written
// over it, as a provider does for a column it can't fill (the rest of the value's bytes stay as
// they were); or not at all, the row ending before that column.
enum class ListedId { Kept, Error, Absent };

struct Object {
    EntryId entryId;  // made by the store; unique on the phone
    bool opens = true;
    ListedId listedId = ListedId::Kept;
    std::vector<Prop> props;

    // The property of the tag's identifier, whatever type it is kept under; null when absent.
    [[nodiscard]] const Prop* FindProp(ULONG tag) const;
    void SetProp(const Prop& prop);  // replaces the property of the same identifier
    void RemoveProp(ULONG tag);
    void SetText(ULONG tag, const WString& text) { SetProp(TextProp(tag, text)); }
    void SetBytes(ULONG tag, const EntryId& bytes) { SetProp(BytesProp(tag, bytes)); }
    [[nodiscard]] WString Text(ULONG tag) const;
};

struct Message : Object {};

struct Folder : Object {
    // In contents-table order, keyed by the order in which they arrived.
    std::map<std::uint32_t, Message> messages;
};

struct Store : Object {
    // Never shrinks, so a Folder& stays valid until Phone::Reset. The first is the root.
    std::deque<Folder> folders;
};

// The stores in stores-table order. Never shrinks, so a Store& stays valid until Phone::Reset.
std::deque<Store>& Stores();

// Appends a store with the display name: a root folder "IPM.Root" and, with an Outbox, a
// folder "Outbox" that the store's PR_IPM_OUTBOX_ENTRYID names.
Store& AddStore(const WString& displayName, bool withOutbox = true);
Folder& AddFolder(Store& store, const WString& displayName);

// The first store whose display name begins with "070": the phone's mail account. Null when
// there is none.
Store* AccountStore();

// The folder that the store's PR_IPM_OUTBOX_ENTRYID names; null when it names none.
Folder* FindOutbox(Store& store);

// Appends a message (PR_SUBJECT_W = subject) to the folder; opens = false makes every open of
// it fail.
Message& AddMessage(Folder& folder, const WString& subject, bool opens = true);
// The same into the store's Outbox; throws std::logic_error when the store has none.
Message& AddOutboxMessage(Store& store, const WString& subject = WTEXT("mail"), bool opens = true);
// The phone's software sending what waits: empties the Outbox and answers how many left it.
std::size_t SendOutbox(Store& store);
std::size_t OutboxCount(Store& store);

// What the program has been given and not yet given back.
struct Accounts {
    std::size_t liveInterfaces = 0;  // handed out and not released
    int overReleases = 0;            // Release of an interface already given back
    int usesAfterRelease = 0;        // calls through an interface already given back
    std::size_t liveBuffers = 0;     // property values and row sets not freed
    int badFrees = 0;                // frees of memory the store never gave, or gave back already
    int comStarts = 0;               // successful CoInitializeEx not matched by CoUninitialize
    int mapiStarts = 0;              // successful MAPIInitialize not matched by MAPIUninitialize
    int unbalancedStops = 0;         // CoUninitialize or MAPIUninitialize with nothing started
    std::size_t bufferBytes = 0;     // held by live values and row sets
    std::size_t peakBufferBytes = 0;
};
const Accounts& Accounting();

// Nothing held, nothing given back twice or wrongly, COM and MAPI stopped as often as started.
bool AllGivenBack();
// The accounts as one line, for a test's failure message.
std::string Describe(const Accounts& accounts);

// With leave set, a failed HrGetOneProp frees the value it made and leaves the out-parameter
// pointing at it, as a lax provider may; by default it clears it, as mapi32 does.
void LeaveFreedValueOnFailure(bool leave);

// Drops the store's record of interfaces already given back (a benchmark between runs).
void ForgetReleasedInterfaces();
void ResetPeakBufferBytes();

}  // namespace sim::mapi
