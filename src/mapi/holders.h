// Owners of what MAPI hands out: interfaces (given back with Release), property values (with
// MAPIFreeBuffer) and row sets (with FreeProws). Each gives its object back exactly once.
#pragma once

#include <memory>
#include <utility>

#include "platform/mapi.h"

namespace MAPI {

template <class Interface>
class InterfacePtr {
public:
    InterfacePtr() = default;
    explicit InterfacePtr(Interface* held) : held_(held) {}
    InterfacePtr(const InterfacePtr&) = delete;
    InterfacePtr& operator=(const InterfacePtr&) = delete;
    InterfacePtr(InterfacePtr&& other) noexcept : held_(std::exchange(other.held_, nullptr)) {}
    InterfacePtr& operator=(InterfacePtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            held_ = std::exchange(other.held_, nullptr);
        }
        return *this;
    }
    ~InterfacePtr() { Reset(); }

    // Releases what is held, if anything, and forgets it; safe to repeat.
    void Reset()
    {
        if (held_ != nullptr) {
            std::exchange(held_, nullptr)->Release();
        }
    }

    [[nodiscard]] Interface* Get() const { return held_; }
    Interface* operator->() const { return held_; }
    explicit operator bool() const { return held_ != nullptr; }

private:
    Interface* held_ = nullptr;
};

// Runs call(&pointer), an opening call of MAPI, and holds what it gave only when it
// succeeded: the out-parameter of a failed call is never trusted. True when held.
template <class Interface, class Call>
bool Acquire(InterfacePtr<Interface>& holder, Call&& call)
{
    Interface* opened = nullptr;
    if (FAILED(std::forward<Call>(call)(&opened)) || opened == nullptr) {
        return false;
    }
    holder = InterfacePtr<Interface>(opened);
    return true;
}

struct FreeBuffer {
    void operator()(SPropValue* value) const { MAPIFreeBuffer(value); }
};
using PropValuePtr = std::unique_ptr<SPropValue, FreeBuffer>;

struct FreeRows {
    void operator()(SRowSet* rows) const { FreeProws(rows); }
};
using RowSetPtr = std::unique_ptr<SRowSet, FreeRows>;

}  // namespace MAPI
