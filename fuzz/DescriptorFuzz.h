#pragma once
// What the descriptor fuzz targets share: a reader's tree over arbitrary bytes
// must be whole and consistent, and every lookup a caller makes in it must
// stay inside it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/CoreAlloc.h"
#include "descriptors/Document.h"

// Walks the tree without recursion depth beyond the readers' limit, checking
// that texts end where their lengths say and children are counted right.
inline void checkDescriptorNode(const DocNode* n, unsigned depth) {
    if (depth > kMaxDocumentDepth + 2) abort();
    if (n->key[n->keyLength] || n->text[n->textLength] || n->tail[n->tailLength]) abort();
    uint32_t count = 0;
    for (const DocNode* c = n->child; c; c = c->next, ++count) checkDescriptorNode(c, depth + 1);
    if (count != n->count) abort();
    if (n->type == DocType::Element) {
        char* content = docTextContent(n);
        if (content) {
            coreFree(stripMarkup(content, strlen(content)));
            coreFree(content);
        }
    }
}

// Parses data with parse, walks the result and makes the lookups the
// descriptor families make.
template <typename Parse>
int fuzzDescriptor(const uint8_t* data, size_t size, Parse parse) {
    // A copy of exactly the member's bytes, so reading past them is caught.
    char* bytes = static_cast<char*>(malloc(size ? size : 1));
    if (!bytes) return 0;
    memcpy(bytes, data, size);
    DocumentHolder d(parse(bytes, size));
    if (const DocNode* root = documentRoot(d.get())) {
        checkDescriptorNode(root, 0);
        static const char* const paths[] = {"name", "quilt_loader.metadata.name", "mods.0.displayName",
                                            "icon.16", "authors.0.name", "a.b.c.d", "0", ""};
        for (const char* p : paths) (void)docString(docPath(root, p), true);
        (void)docChildElement(root, "description");
        (void)docNextElement(root->child);
    }
    free(bytes);
    return 0;
}
