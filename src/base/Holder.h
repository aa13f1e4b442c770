#pragma once
// One generic owner for anything that must be closed or freed: a malloc block,
// a line array, a member buffer, a registry key, a locked global memory block.
// Each kind gets a small traits struct and a one-line alias next to the code
// that defines its close function.
#include <cstdio>

#include "base/CoreAlloc.h"

template <typename Traits>
class Holder {
public:
    using Type = typename Traits::Type;

    Holder() : value_(Traits::invalid()) {}
    explicit Holder(Type value) : value_(value) {}
    ~Holder() { reset(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    Holder(Holder&& other) noexcept : value_(other.release()) {}
    Holder& operator=(Holder&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Type get() const { return value_; }
    // For holders of pointers (a COM interface, say).
    Type operator->() const { return value_; }
    explicit operator bool() const { return value_ != Traits::invalid(); }

    // Hands ownership to the caller (for instance to the shell).
    Type release() {
        Type v = value_;
        value_ = Traits::invalid();
        return v;
    }

    void reset(Type value = Traits::invalid()) {
        if (value_ != Traits::invalid()) Traits::close(value_);
        value_ = value;
    }

    // For out-parameters: closes what is held and exposes the slot.
    Type* put() {
        reset();
        return &value_;
    }

private:
    Type value_;
};

template <typename T>
struct CoreFreeTraits {
    using Type = T*;
    static Type invalid() { return nullptr; }
    static void close(Type p) { coreFree(const_cast<void*>(static_cast<const void*>(p))); }
};

// A block from coreAlloc.
template <typename T>
using CorePtr = Holder<CoreFreeTraits<T>>;

// A C stream, closed with fclose.
struct StdioFileTraits {
    using Type = FILE*;
    static Type invalid() { return nullptr; }
    static void close(Type f) { fclose(f); }
};
using StdioFile = Holder<StdioFileTraits>;
