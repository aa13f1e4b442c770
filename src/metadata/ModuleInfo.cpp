#include "metadata/ModuleInfo.h"

#include <cstdint>
#include <cstring>

#include "base/ByteCursor.h"
#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "text/TextConvert.h"

namespace {

constexpr uint32_t kMagic = 0xCAFEBABE;
constexpr uint16_t kFirstModuleMajor = 53;
constexpr uint16_t kAccModule = 0x8000;

enum Tag : uint8_t {
    kUtf8 = 1,
    kInteger = 3,
    kFloat = 4,
    kLong = 5,
    kDouble = 6,
    kClass = 7,
    kString = 8,
    kFieldref = 9,
    kMethodref = 10,
    kInterfaceMethodref = 11,
    kNameAndType = 12,
    kMethodHandle = 15,
    kMethodType = 16,
    kInvokeDynamic = 18,
    kModule = 19,
    kPackage = 20,
};

uint16_t u16(ByteCursor& c) {
    uint16_t high = c.u8();
    return static_cast<uint16_t>((high << 8) | c.u8());
}

// Bytes that follow an entry's tag, by tag; 0 for a tag that the JVM does not
// accept in a module descriptor, and for Utf8, whose length comes first.
uint32_t entrySize(uint8_t tag) {
    switch (tag) {
        case kClass:
        case kString:
        case kMethodType:
        case kModule:
        case kPackage:
            return 2;
        case kMethodHandle:
            return 3;
        case kInteger:
        case kFloat:
        case kFieldref:
        case kMethodref:
        case kInterfaceMethodref:
        case kNameAndType:
        case kInvokeDynamic:
            return 4;
        case kLong:
        case kDouble:
            return 8;
        default:
            return 0;
    }
}

struct Text {
    const uint8_t* bytes;
    uint16_t length;
};

// The constant pool: where each entry starts (0 for the unusable slot after
// a Long or a Double), read once so that indexes are looked up directly.
class ConstantPool {
public:
    bool read(ByteCursor& c, bool* noMemory) {
        count_ = u16(c);
        if (!c.ok() || count_ == 0) return false;
        offsets_.reset(coreAllocArray<uint32_t>(count_));
        if (!offsets_) {
            *noMemory = true;
            return false;
        }
        offsets_.get()[0] = 0;
        base_ = c.bytes(0);
        limit_ = c.remaining();
        const uint64_t origin = c.pos();
        for (uint32_t i = 1; i < count_; ++i) {
            offsets_.get()[i] = static_cast<uint32_t>(c.pos() - origin) + 1;
            uint8_t tag = c.u8();
            if (tag == kUtf8) {
                c.skip(u16(c));
            } else {
                uint32_t size = entrySize(tag);
                if (size == 0) return false;
                c.skip(size);
                if ((tag == kLong || tag == kDouble) && ++i < count_) offsets_.get()[i] = 0;
            }
            if (!c.ok()) return false;
        }
        return true;
    }
    // The entry's bytes after its tag, when index names an entry with that tag.
    bool entry(uint32_t index, uint8_t tag, ByteCursor* out) const {
        if (index == 0 || index >= count_ || offsets_.get()[index] == 0) return false;
        uint64_t at = offsets_.get()[index] - 1;
        if (base_[at] != tag) return false;
        *out = ByteCursor(base_ + at + 1, limit_ - at - 1);
        return true;
    }
    bool utf8(uint32_t index, Text* text) const {
        ByteCursor c(nullptr, 0);
        if (!entry(index, kUtf8, &c)) return false;
        text->length = u16(c);
        text->bytes = c.bytes(text->length);
        return true;
    }
    // The Utf8 entry that an entry of this tag names by its first field.
    bool named(uint32_t index, uint8_t tag, Text* text) const {
        ByteCursor c(nullptr, 0);
        return entry(index, tag, &c) && utf8(u16(c), text);
    }

private:
    const uint8_t* base_ = nullptr;
    uint64_t limit_ = 0;  // bytes from base_ to the end of the class file
    uint32_t count_ = 0;
    CorePtr<uint32_t> offsets_;
};

bool equals(const Text& text, const char* expected) {
    return text.length == std::strlen(expected) && std::memcmp(text.bytes, expected, text.length) == 0;
}

// Plain UTF-8 that the class file's own encoding writes the same way: no NUL
// byte and nothing beyond U+FFFF.
bool isPlainText(const Text& text) {
    for (uint16_t i = 0; i < text.length; ++i)
        if (text.bytes[i] == 0 || text.bytes[i] >= 0xF0) return false;
    return isWellFormedUtf8(reinterpret_cast<const char*>(text.bytes), text.length);
}

// A module name as the JVM takes it, without the escapes it allows.
bool isShownModuleName(const Text& name) {
    if (name.length == 0 || !isPlainText(name)) return false;
    for (uint16_t i = 0; i < name.length; ++i) {
        uint8_t b = name.bytes[i];
        if (b < 0x20 || b == ':' || b == '@' || b == '\\') return false;
    }
    return true;
}

bool readModuleAttribute(const ConstantPool& pool, ByteCursor& c, ModuleName* out, bool* noMemory) {
    uint16_t nameIndex = u16(c);
    c.skip(2);  // flags
    uint16_t versionIndex = u16(c);
    Text name;
    if (!c.ok() || !pool.named(nameIndex, kModule, &name) || !isShownModuleName(name)) return false;
    Text version = {nullptr, 0};
    if (versionIndex != 0 && (!pool.utf8(versionIndex, &version) || !isPlainText(version))) return false;
    CorePtr<char> nameCopy(copyText(reinterpret_cast<const char*>(name.bytes), name.length));
    CorePtr<char> versionCopy;
    if (versionIndex != 0) versionCopy.reset(copyText(reinterpret_cast<const char*>(version.bytes), version.length));
    if (!nameCopy || (versionIndex != 0 && !versionCopy)) {
        *noMemory = true;
        return false;
    }
    out->name = nameCopy.release();
    out->version = versionCopy.release();
    return true;
}

}  // namespace

bool readModuleInfo(const unsigned char* bytes, size_t length, ModuleName* out, bool* noMemory) {
    bool ignored = false;
    if (!noMemory) noMemory = &ignored;
    if (!out) return false;
    out->name = out->version = nullptr;
    ByteCursor c(bytes, length);
    if (c.u32be() != kMagic) return false;
    c.skip(2);
    if (u16(c) < kFirstModuleMajor) return false;
    ConstantPool pool;
    if (!pool.read(c, noMemory)) return false;
    uint16_t access = u16(c);
    uint16_t thisClass = u16(c);
    uint16_t superClass = u16(c);
    Text className;
    if (!c.ok() || access != kAccModule || !pool.named(thisClass, kClass, &className) ||
        !equals(className, "module-info") || superClass != 0)
        return false;
    for (int members = 0; members < 3; ++members)  // interfaces, fields, methods
        if (u16(c) != 0) return false;
    uint16_t attributes = u16(c);
    ModuleName found = {nullptr, nullptr};
    bool good = c.ok();
    for (uint16_t i = 0; good && i < attributes; ++i) {
        Text name;
        good = pool.utf8(u16(c), &name);
        uint32_t attributeLength = c.u32be();
        const uint8_t* body = c.bytes(attributeLength);
        good = good && body;
        if (!good || !equals(name, "Module")) continue;
        ByteCursor module(body, attributeLength);
        good = !found.name && readModuleAttribute(pool, module, &found, noMemory);
    }
    if (!good || !found.name) {
        freeModuleName(&found);
        return false;
    }
    *out = found;
    return true;
}

void freeModuleName(ModuleName* module) {
    if (!module) return;
    coreFree(module->name);
    coreFree(module->version);
    module->name = module->version = nullptr;
}
