#pragma once
// The tree that the descriptor readers (JSON, TOML, YAML, XML) build from a
// mod's or plugin's descriptor, and the lookups its callers make in it.
//
// Every reader takes the member's bytes, walks the whole document and either
// hands back the complete tree or nothing: a document the format's own reader
// would refuse, one that uses something this reader declines (for YAML:
// anchors, aliases, tags), one nested deeper than kMaxDocumentDepth, or one
// for which memory ran out. No reader recurses deeper than that limit, every
// allocation goes through coreAlloc and the whole tree lives in one arena
// whose size is bounded by the document's.
//
// Scalars keep a canonical text: strings their UTF-8 bytes; integers in
// decimal without leading zeros; floats as the shortest text that reads back
// as the same double, written the way Python writes a float ("1.1", "1e+16",
// "inf"); booleans "true" or "false"; null the empty text; TOML dates and
// times their text as written.
#include <cstddef>
#include <cstdint>

#include "base/Holder.h"

constexpr size_t kMaxDocumentBytes = 4u << 20;
constexpr unsigned kMaxDocumentDepth = 64;

enum class DocType : uint8_t {
    Null,
    Bool,
    Int,
    Float,
    String,
    DateTime,
    Array,
    Object,
    Element,    // XML: key = the tag ("{namespace}local" inside a namespace),
                // text = the text before the first child, tail = after its end
    Attribute,  // XML: key = the name, text = the value; an element's first children
};

struct DocNode {
    DocType type;
    uint8_t mark;         // the readers' own use while they build
    uint32_t keyLength;   // object member or XML name
    uint32_t textLength;  // scalar text, XML text
    uint32_t tailLength;  // XML only
    uint32_t count;       // members, elements or children (attributes included)
    const char* key;      // NUL-terminated, never null ("" where there is none)
    const char* text;     // NUL-terminated, never null
    const char* tail;     // NUL-terminated, never null
    DocNode* child;       // first member, element or child
    DocNode* next;        // next sibling
    DocNode* last;        // last child, for the readers' appends
};

struct Document;

// A leading UTF-8 byte order mark is skipped only where the caller asks (Fabric
// skips one; python's json refuses it).
Document* parseJson(const char* bytes, size_t length, bool skipBom);
Document* parseToml(const char* bytes, size_t length);
Document* parseYaml(const char* bytes, size_t length);
Document* parseXml(const char* bytes, size_t length);
void freeDocument(Document* document);

struct DocumentTraits {
    using Type = Document*;
    static Type invalid() { return nullptr; }
    static void close(Type d) { freeDocument(d); }
};
using DocumentHolder = Holder<DocumentTraits>;

// The top value (JSON, YAML), the top table (TOML) or the root element (XML).
const DocNode* documentRoot(const Document* document);

// Walking a node: null where there is none. Objects never hold a key twice:
// where a JSON or YAML mapping repeats one, the member keeps its first place
// and takes the last value, as the reference readers do.
const DocNode* docMember(const DocNode* object, const char* key);
const DocNode* docIndex(const DocNode* array, size_t index);
// A dotted path of members from node: "quilt_loader.metadata.name". A segment
// of digits indexes an array ("mods.0.displayName"); on an object it is a key.
const DocNode* docPath(const DocNode* node, const char* path);
// XML: the first child element with that tag, and the next element after one.
const DocNode* docChildElement(const DocNode* element, const char* tag);
const DocNode* docNextElement(const DocNode* element);

// A node's text where it is a string (and, with anyScalar, any scalar's
// canonical text); null otherwise.
const char* docString(const DocNode* node, bool anyScalar = false);

// XML: the element's text content (its text and every descendant's text and
// tail, in document order) as a new coreAlloc string; null on no memory.
char* docTextContent(const DocNode* element);
// Text with HTML markup taken out: tags and comments removed (a tag that
// breaks a line, such as <p>, <br> or <li>, leaves a space), the five
// predefined entities, &nbsp; and numeric references decoded, runs of white
// space made one space, and the ends trimmed; an unclosed tag or comment is
// text up to the next ">". Only the first 64 KiB are read. A new coreAlloc
// string; null on no memory.
char* stripMarkup(const char* text, size_t length);
