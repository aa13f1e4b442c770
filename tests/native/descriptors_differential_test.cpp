// The descriptor readers against the reference readers on the same bytes
// (tests/support/descriptor_reference.py: python's json, tomllib, PyYAML's
// safe_load, xml.etree), over the documents of tests/fixtures/
// make_descriptors.py: every value a reader gives equals the reference's, and
// where the reference refuses a document the reader gives nothing. Then each
// reader with every allocation made to fail in turn, on the real-looking
// documents: nothing or the full tree, and no leak.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "descriptors/Document.h"

namespace {

struct Reader {
    const char* format;
    Document* (*parse)(const char* bytes, size_t length, bool skipBom);
};

Document* json(const char* b, size_t n, bool bom) { return parseJson(b, n, bom); }
Document* toml(const char* b, size_t n, bool) { return parseToml(b, n); }
Document* yaml(const char* b, size_t n, bool) { return parseYaml(b, n); }
Document* xml(const char* b, size_t n, bool) { return parseXml(b, n); }

std::string quoted(const char* text, size_t length) {
    std::string s = "\"";
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char esc[8];
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c < 0x20) {
            snprintf(esc, sizeof esc, "\\u%04x", c);
            s += esc;
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

std::string takeQuoted(char* text) {
    std::string s = text ? quoted(text, strlen(text)) : "null";
    coreFree(text);
    return s;
}

// The tree as tagged JSON lists: ["s", text], ["i", "12"], ["a", [...]],
// ["o", [[key, value], ...]], ["e", tag, [[name, value], ...], text, tail,
// [children], text content, stripped description].
std::string dump(const DocNode* n) {
    static const char* const tags[] = {"n", "b", "i", "f", "s", "d", "a", "o"};
    if (n->type == DocType::Null) return "[\"n\"]";
    if (n->type < DocType::Array)
        return std::string("[\"") + tags[static_cast<int>(n->type)] + "\"," + quoted(n->text, n->textLength) + "]";
    std::string s, attributes;
    for (const DocNode* c = n->child; c; c = c->next) {
        std::string item = n->type == DocType::Object ? "[" + quoted(c->key, c->keyLength) + "," + dump(c) + "]"
                           : c->type == DocType::Attribute
                               ? "[" + quoted(c->key, c->keyLength) + "," + quoted(c->text, c->textLength) + "]"
                               : dump(c);
        std::string& list = c->type == DocType::Attribute ? attributes : s;
        list += (list.empty() ? "" : ",") + item;
    }
    if (n->type != DocType::Element) return std::string("[\"") + tags[static_cast<int>(n->type)] + "\",[" + s + "]]";
    char* content = docTextContent(n);
    std::string stripped = "\"\"";
    if (strcmp(n->key, "description") == 0 && content) stripped = takeQuoted(stripMarkup(content, strlen(content)));
    return "[\"e\"," + quoted(n->key, n->keyLength) + ",[" + attributes + "]," + quoted(n->text, n->textLength) +
           "," + quoted(n->tail, n->tailLength) + ",[" + s + "]," + takeQuoted(content) + "," + stripped + "]";
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class DescriptorsDifferential : public testing::TestWithParam<Reader> {};

TEST_P(DescriptorsDifferential, AgreesWithTheReference) {
    const Reader& r = GetParam();
    std::string folder = fixturePath(std::string("descriptors/") + r.format);
    std::ifstream index(folder + "/index.txt");
    ASSERT_TRUE(index) << folder;
    std::string ours = folder + "/ours.txt";
    std::ofstream out(ours, std::ios::trunc);
    std::string line;
    std::vector<std::pair<std::string, bool>> real;
    while (std::getline(index, line)) {
        std::string name = line.substr(0, line.find('\t'));
        bool bom = line.find("bom", name.size()) != std::string::npos;
        std::string bytes = readFile(folder + "/" + name);
        DocumentHolder d(r.parse(bytes.data(), bytes.size(), bom));
        out << name << '\t' << (d ? dump(documentRoot(d.get())) : "-") << '\n';
        if (d && real.size() < 4) real.emplace_back(bytes, bom);
    }
    out.close();
    // Debian's python has Debian's PyYAML (python3-yaml) beside it.
    std::string python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    std::string command = python + " " + getenv("MORVANE_SOURCE_DIR") + "/tests/support/descriptor_reference.py " +
                          r.format + " " + folder + " " + ours + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    ASSERT_TRUE(p);
    std::string report;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, p)) report.append(buffer, n);
    int status = pclose(p);
    EXPECT_EQ(status, 0) << report;
    std::cout << report;

    for (const auto& [bytes, bom] : real) {
        std::string whole = dump(documentRoot(DocumentHolder(r.parse(bytes.data(), bytes.size(), bom)).get()));
        for (long n = 1;; ++n) {
            armAllocationFailure(n);
            DocumentHolder d(r.parse(bytes.data(), bytes.size(), bom));
            long calls = allocationCount();
            armAllocationFailure(0);
            ASSERT_TRUE(!d || dump(documentRoot(d.get())) == whole) << r.format << " failing allocation " << n;
            if (calls < n) break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, DescriptorsDifferential,
                         testing::Values(Reader{"json", json}, Reader{"toml", toml}, Reader{"yaml", yaml},
                                         Reader{"xml", xml}),
                         [](const testing::TestParamInfo<Reader>& i) { return std::string(i.param.format); });

}  // namespace
