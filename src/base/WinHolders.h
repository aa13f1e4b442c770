#pragma once
// Owners of Windows handles, so that every early return closes what was opened.
#include <windows.h>
#include <ole2.h>

#include "base/Holder.h"

struct RegKeyTraits {
    using Type = HKEY;
    static Type invalid() { return nullptr; }
    static void close(Type key) { RegCloseKey(key); }
};
using RegKey = Holder<RegKeyTraits>;

struct FileHandleTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type h) { CloseHandle(h); }
};
using FileHandle = Holder<FileHandleTraits>;

// A library loaded by the caller, freed when the holder goes.
struct ModuleHandleTraits {
    using Type = HMODULE;
    static Type invalid() { return nullptr; }
    static void close(Type module) { FreeLibrary(module); }
};
using ModuleHandle = Holder<ModuleHandleTraits>;

// A COM interface pointer that is released when the holder goes.
template <typename T>
struct ComReleaseTraits {
    using Type = T*;
    static Type invalid() { return nullptr; }
    static void close(Type p) { p->Release(); }
};
template <typename T>
using ComPtr = Holder<ComReleaseTraits<T>>;

// A global memory block locked for the holder's lifetime.
class GlobalLockHolder {
public:
    explicit GlobalLockHolder(HGLOBAL memory) : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
    ~GlobalLockHolder() {
        if (data_) GlobalUnlock(memory_);
    }
    GlobalLockHolder(const GlobalLockHolder&) = delete;
    GlobalLockHolder& operator=(const GlobalLockHolder&) = delete;
    void* get() const { return data_; }

private:
    HGLOBAL memory_;
    void* data_;
};

// A storage medium asked for in global memory; released on every path.
class StgMediumHolder {
public:
    StgMediumHolder() { clear(); }
    ~StgMediumHolder() { ReleaseStgMedium(&medium_); }
    StgMediumHolder(const StgMediumHolder&) = delete;
    StgMediumHolder& operator=(const StgMediumHolder&) = delete;
    STGMEDIUM* put() {
        ReleaseStgMedium(&medium_);
        clear();
        return &medium_;
    }
    const STGMEDIUM& get() const { return medium_; }

private:
    void clear() {
        ZeroMemory(&medium_, sizeof(medium_));
        medium_.tymed = TYMED_HGLOBAL;
    }
    STGMEDIUM medium_;
};

// The format asked of a data object: a list of file names in global memory.
inline FORMATETC makeDropFormat() {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return format;
}
