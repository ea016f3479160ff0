// The simulated message store's data, its allocator and its accounts.
#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "sim/mapi/internal.h"

namespace sim::mapi {

namespace {

constexpr std::size_t kFlagBytes = 4;
constexpr std::size_t kEntryIdSize = kFlagBytes + 1 + 4;

Located Register(Object& object, Store& store, Kind kind)
{
    auto& state = TheState();
    const auto serial = ++state.nextSerial;
    object.entryId = NewEntryId(kind, serial);
    state.index[serial] = {&object, &store};
    return state.index[serial];
}

std::size_t Aligned(std::size_t size)
{
    return (size + 7U) & ~std::size_t{7};
}

std::size_t PayloadSize(const Prop& prop)
{
    switch (PROP_TYPE(prop.tag)) {
        case PT_UNICODE: return Aligned((prop.text.size() + 1) * sizeof(WCHAR));
        case PT_BINARY: return Aligned(prop.bytes.size());
        default: return 0;
    }
}

// Copies the kept property into value, its payload at payload; answers the payload's end.
std::byte* Pack(const Prop& prop, SPropValue& value, std::byte* payload)
{
    value.ulPropTag = prop.tag;
    switch (PROP_TYPE(prop.tag)) {
        case PT_UNICODE:
            std::memcpy(payload, prop.text.c_str(), (prop.text.size() + 1) * sizeof(WCHAR));
            value.Value.lpszW = reinterpret_cast<LPWSTR>(payload);
            break;
        case PT_BINARY:
            if (!prop.bytes.empty()) {
                std::memcpy(payload, prop.bytes.data(), prop.bytes.size());
            }
            value.Value.bin = {static_cast<ULONG>(prop.bytes.size()), reinterpret_cast<LPBYTE>(payload)};
            break;
        case PT_SYSTIME: value.Value.ft = prop.time; break;
        case PT_ERROR: value.Value.err = prop.number; break;
        default: value.Value.l = prop.number; break;
    }
    return payload + PayloadSize(prop);
}

// The property as handed out: the entry identifier is the object's own; what is absent is an
// error value.
Prop Lookup(const Object* object, ULONG tag, bool& missing)
{
    if (object != nullptr && PROP_ID(tag) == PROP_ID(PR_ENTRYID)) {
        return {PR_ENTRYID, {}, object->entryId, {}, 0};
    }
    if (const Prop* kept = object != nullptr ? object->FindProp(tag) : nullptr) {
        return *kept;
    }
    missing = true;
    return {PROP_TAG(PT_ERROR, PROP_ID(tag)), {}, {}, {}, MAPI_E_NOT_FOUND};
}

}  // namespace

State& TheState()
{
    return DeviceState<State>();
}

const Prop* Object::FindProp(ULONG tag) const
{
    const auto found = std::find_if(props.begin(), props.end(),
                                    [&](const Prop& prop) { return PROP_ID(prop.tag) == PROP_ID(tag); });
    return found == props.end() ? nullptr : &*found;
}

void Object::SetProp(const Prop& prop)
{
    RemoveProp(prop.tag);
    props.push_back(prop);
}

void Object::RemoveProp(ULONG tag)
{
    std::erase_if(props, [&](const Prop& kept) { return PROP_ID(kept.tag) == PROP_ID(tag); });
}

WString Object::Text(ULONG tag) const
{
    const Prop* prop = FindProp(tag);
    return prop != nullptr ? prop->text : WString{};
}

std::deque<Store>& Stores()
{
    return TheState().stores;
}

Store& AddStore(const WString& displayName, bool withOutbox)
{
    Store& store = Stores().emplace_back();
    Register(store, store, Kind::Store);
    store.SetText(PR_DISPLAY_NAME_W, displayName);
    AddFolder(store, WTEXT("IPM.Root"));
    if (withOutbox) {
        store.SetBytes(PR_IPM_OUTBOX_ENTRYID, AddFolder(store, WTEXT("Outbox")).entryId);
    }
    return store;
}

Folder& AddFolder(Store& store, const WString& displayName)
{
    Folder& folder = store.folders.emplace_back();
    Register(folder, store, Kind::Folder);
    folder.SetText(PR_DISPLAY_NAME_W, displayName);
    return folder;
}

Store* AccountStore()
{
    for (Store& store : Stores()) {
        if (store.Text(PR_DISPLAY_NAME_W).starts_with(WTEXT("070"))) {
            return &store;
        }
    }
    return nullptr;
}

Folder* FindOutbox(Store& store)
{
    const Prop* outbox = store.FindProp(PR_IPM_OUTBOX_ENTRYID);
    if (outbox == nullptr) {
        return nullptr;
    }
    const auto found = Locate(outbox->bytes, Kind::Folder);
    return found && found->store == &store ? static_cast<Folder*>(found->object) : nullptr;
}

Message& AddMessage(Folder& folder, const WString& subject, bool opens)
{
    auto& state = TheState();
    const auto serial = state.nextSerial + 1;
    Message& message = folder.messages[serial];
    const Located owner = state.index.at(SerialOf(folder.entryId));
    Register(message, *owner.store, Kind::Message);
    message.opens = opens;
    message.SetText(PR_SUBJECT_W, subject);
    return message;
}

Message& AddOutboxMessage(Store& store, const WString& subject, bool opens)
{
    Folder* outbox = FindOutbox(store);
    if (outbox == nullptr) {
        throw std::logic_error("the store has no Outbox");
    }
    return AddMessage(*outbox, subject, opens);
}

std::size_t SendOutbox(Store& store)
{
    Folder* outbox = FindOutbox(store);
    if (outbox == nullptr) {
        return 0;
    }
    const auto sent = outbox->messages.size();
    for (const auto& entry : outbox->messages) {
        TheState().index.erase(entry.first);
    }
    outbox->messages.clear();
    return sent;
}

std::size_t OutboxCount(Store& store)
{
    const Folder* outbox = FindOutbox(store);
    return outbox == nullptr ? 0 : outbox->messages.size();
}

EntryId NewEntryId(Kind kind, std::uint32_t serial)
{
    EntryId id(kEntryIdSize, 0);
    id[kFlagBytes] = static_cast<BYTE>(kind);
    std::memcpy(&id[kFlagBytes + 1], &serial, sizeof serial);
    return id;
}

std::uint32_t SerialOf(const EntryId& id)
{
    std::uint32_t serial = 0;
    if (id.size() == kEntryIdSize) {
        std::memcpy(&serial, &id[kFlagBytes + 1], sizeof serial);
    }
    return serial;
}

std::optional<Located> Locate(const EntryId& id, Kind kind)
{
    if (id.size() != kEntryIdSize || id[kFlagBytes] != static_cast<BYTE>(kind)) {
        return std::nullopt;
    }
    const auto found = TheState().index.find(SerialOf(id));
    return found == TheState().index.end() ? std::nullopt : std::optional<Located>(found->second);
}

std::optional<Located> Locate(ULONG size, const void* bytes, Kind kind)
{
    if (bytes == nullptr) {
        return std::nullopt;
    }
    const auto* first = static_cast<const BYTE*>(bytes);
    return Locate(EntryId(first, first + size), kind);
}

std::byte* Allocate(std::size_t size)
{
    auto& state = TheState();
    Buffer buffer{std::make_unique<std::byte[]>(size), size};
    std::byte* block = buffer.block.get();
    state.buffers.emplace(block, std::move(buffer));
    auto& accounts = state.accounts;
    ++accounts.liveBuffers;
    accounts.bufferBytes += size;
    accounts.peakBufferBytes = std::max(accounts.peakBufferBytes, accounts.bufferBytes);
    return block;
}

bool Free(const void* block)
{
    auto& state = TheState();
    const auto found = state.buffers.find(block);
    if (found == state.buffers.end()) {
        ++state.accounts.badFrees;
        return false;
    }
    --state.accounts.liveBuffers;
    state.accounts.bufferBytes -= found->second.size;
    state.buffers.erase(found);
    return true;
}

LPSPropValue PackValues(const Object* object, const std::vector<ULONG>& tags, bool& missing)
{
    std::vector<Prop> props;
    std::size_t size = Aligned(tags.size() * sizeof(SPropValue));
    for (const ULONG tag : tags) {
        props.push_back(Lookup(object, tag, missing));
        size += PayloadSize(props.back());
    }
    std::byte* block = Allocate(std::max<std::size_t>(size, 1));
    std::byte* payload = block + Aligned(tags.size() * sizeof(SPropValue));
    for (std::size_t i = 0; i < props.size(); ++i) {
        SPropValue value{};
        payload = Pack(props[i], value, payload);
        std::memcpy(block + i * sizeof(SPropValue), &value, sizeof value);
    }
    return reinterpret_cast<LPSPropValue>(block);
}

const Accounts& Accounting()
{
    return TheState().accounts;
}

bool AllGivenBack()
{
    const Accounts& a = Accounting();
    return a.liveInterfaces == 0 && a.overReleases == 0 && a.usesAfterRelease == 0 && a.liveBuffers == 0 &&
           a.badFrees == 0 && a.comStarts == 0 && a.mapiStarts == 0 && a.unbalancedStops == 0;
}

std::string Describe(const Accounts& a)
{
    std::ostringstream text;
    text << "interfaces held " << a.liveInterfaces << ", released too often " << a.overReleases
         << ", used after release " << a.usesAfterRelease << ", buffers held " << a.liveBuffers
         << ", bad frees " << a.badFrees << ", COM started " << a.comStarts << ", MAPI started "
         << a.mapiStarts << ", unbalanced stops " << a.unbalancedStops;
    return text.str();
}

void LeaveFreedValueOnFailure(bool leave)
{
    TheState().leavesFreedValue = leave;
}

void ForgetReleasedInterfaces()
{
    std::erase_if(TheState().interfaces, [](const auto& held) { return !held->Alive(); });
}

void ResetPeakBufferBytes()
{
    auto& accounts = TheState().accounts;
    accounts.peakBufferBytes = accounts.bufferBytes;
}

std::string Hex(std::uint32_t value)
{
    std::ostringstream text;
    text << "0x" << std::hex << std::uppercase << value;
    return text.str();
}

sim::Bytes EntryBytes(ULONG size, const void* bytes)
{
    if (bytes == nullptr) {
        return {};
    }
    const auto* first = static_cast<const BYTE*>(bytes);
    return {std::vector<std::uint8_t>(first, first + size)};
}

std::string Describe(ULONG size, const void* bytes)
{
    if (bytes == nullptr || size == 0) {
        return "(none)";
    }
    const auto* first = static_cast<const BYTE*>(bytes);
    std::ostringstream text;
    text << std::hex;
    for (ULONG i = 0; i < size; ++i) {
        text << static_cast<int>(first[i] >> 4U) << static_cast<int>(first[i] & 0xFU);
    }
    return text.str();
}

}  // namespace sim::mapi
