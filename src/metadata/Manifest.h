#pragma once
// The jar manifest, META-INF/MANIFEST.MF, read as the JVM reads it
// (java.util.jar.Manifest), so that a value is shown only when the JVM
// would see that very value.
//
//   manifest     = main-section *( *empty-line named-section )
//   main-section = *header [ empty-line ]
//   named-section = "Name: " text newline *continuation *header [ empty-line ]
//   header       = name ": " value newline *continuation
//   continuation = " " text newline          ; joined to the value without the blank
//   name         = 1*70( ALPHA / DIGIT / "_" / "-" )   ; compared without regard to case
//   newline      = CR LF / LF / CR
//
// A line holds at most 511 bytes before its line end. A last line without a
// line end is not read. "Name" is matched in any letter case. Of two headers
// whose names differ only in case, the later value wins, in the place and
// spelling of the first. Values are UTF-8.
//
// The JVM refuses the whole manifest for a longer line, a header line with
// no ": " (a byte-order mark or "Key:value" make one), a name that breaks the
// rule above, a continuation that follows no header, or a line after the main
// section that is not a "Name: " line: such a manifest gives nothing at all.
// A 511-byte line ended by CR LF is refused too: the JVM reads it one way or
// the other depending on where its read buffer happens to end.
#include <cstddef>
#include <cstdint>

// A value longer than this, or one that is not UTF-8, is kept as present but
// unusable, so that it still replaces an earlier header of the same name.
constexpr uint32_t kMaxManifestValue = 4096;
// A main section with more headers than this is not read.
constexpr size_t kMaxManifestAttributes = 1024;

struct ManifestAttribute {
    const char* name;  // as first written; not terminated
    uint32_t nameLength;
    const char* value;  // UTF-8 and terminated, or null when unusable
    uint32_t valueLength;
    uint32_t line;  // the line (from 1) where the header that gave the value begins
};

// The main section's headers in their order.
class Manifest {
public:
    Manifest() = default;
    ~Manifest();
    Manifest(const Manifest&) = delete;
    Manifest& operator=(const Manifest&) = delete;

    // Reads a manifest's bytes, which it rewrites (continued values are joined
    // where they stand) and which must outlive it. False, with nothing held,
    // when the JVM would refuse the manifest or memory ran out.
    bool read(char* bytes, size_t length);
    // Whether the last read failed for want of memory rather than by the JVM's rules.
    bool outOfMemory() const { return noMemory_; }

    size_t count() const { return count_; }
    const ManifestAttribute& attribute(size_t index) const { return attributes_[index]; }
    // The header of that name (any letter case), usable or not; null when absent.
    const ManifestAttribute* find(const char* name) const;
    // The usable value of that header, or null.
    const char* value(const char* name) const;

    // Forgets the headers.
    void clear();

private:
    bool put(const ManifestAttribute& attribute);

    // Most manifests fit the headers kept inline; more go to the heap.
    static constexpr size_t kInline = 16;
    ManifestAttribute inline_[kInline];
    ManifestAttribute* attributes_ = inline_;
    size_t count_ = 0;
    size_t capacity_ = kInline;
    bool noMemory_ = false;
};

// Whether a header name follows the rule above.
bool isManifestName(const char* name, size_t length);
