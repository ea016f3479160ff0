// What the simulated message store's parts share: its state, its allocator and its objects.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/mapi/store.h"
#include "sim/phone.h"

namespace sim::mapi {

enum class Kind : BYTE { Store = 1, Folder = 2, Message = 3 };

// Every interface handed to the program. It stays in the state after its last Release, so
// that a Release too many, or a call through a released interface, is counted rather than
// undefined.
class Tracked {
public:
    explicit Tracked(Interface label) : label_(std::move(label)) {}
    Tracked(const Tracked&) = delete;
    Tracked& operator=(const Tracked&) = delete;
    virtual ~Tracked() = default;

    [[nodiscard]] const Interface& Label() const { return label_; }
    [[nodiscard]] bool Alive() const { return refs_ > 0; }

protected:
    ULONG AddRefTracked();
    ULONG ReleaseTracked();
    // Records the call on this interface; false (and counted) when the interface was already
    // given back.
    bool Enter(const std::string& call, Fields args = {}, Fields result = {});

private:
    Interface label_;
    ULONG refs_ = 1;
};

template <class Base>
class Counted : public Base, public Tracked {
public:
    using Tracked::Tracked;
    HRESULT QueryInterface(REFIID /*riid*/, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefTracked(); }
    ULONG Release() override { return ReleaseTracked(); }
};

// A store, folder or message interface: reads and writes the properties of the object that
// its entry identifier names.
class PropSource {
public:
    PropSource(const PropSource&) = delete;
    PropSource& operator=(const PropSource&) = delete;
    virtual ~PropSource() = default;
    [[nodiscard]] virtual Object* Data() const = 0;

protected:
    PropSource() = default;
};

struct Buffer {
    std::unique_ptr<std::byte[]> block;
    std::size_t size = 0;
};

struct Located {
    Object* object = nullptr;
    Store* store = nullptr;
};

struct State {
    std::deque<Store> stores;
    std::uint32_t nextSerial = 0;
    std::unordered_map<std::uint32_t, Located> index;
    std::vector<std::unique_ptr<Tracked>> interfaces;
    std::unordered_map<const void*, Buffer> buffers;
    Accounts accounts;
    bool leavesFreedValue = false;
};

State& TheState();

EntryId NewEntryId(Kind kind, std::uint32_t serial);
// The object an entry identifier names, when it names one of this kind.
std::optional<Located> Locate(const EntryId& id, Kind kind);
std::optional<Located> Locate(ULONG size, const void* bytes, Kind kind);
std::uint32_t SerialOf(const EntryId& id);

// The allocator behind MAPIFreeBuffer and FreeProws: zeroed, counted blocks.
std::byte* Allocate(std::size_t size);
// False when the block was not given out (or was given back already).
bool Free(const void* block);

// One block holding the values of the tags as the object has them; a tag it lacks gives a
// PT_ERROR value. missing tells whether that happened.
LPSPropValue PackValues(const Object* object, const std::vector<ULONG>& tags, bool& missing);

template <class T, class... Args>
T* Hand(Args&&... args)
{
    auto made = std::make_unique<T>(std::forward<Args>(args)...);
    T* given = made.get();
    TheState().interfaces.push_back(std::move(made));
    ++TheState().accounts.liveInterfaces;
    return given;
}

std::string Hex(std::uint32_t value);
sim::Bytes EntryBytes(ULONG size, const void* bytes);  // an entry identifier, for the trace
std::string Describe(ULONG size, const void* bytes);   // an entry identifier, for the trace

// A new logon session over the stores.
LPMAPISESSION NewSession();

}  // namespace sim::mapi
