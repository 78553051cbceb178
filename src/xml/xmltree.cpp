#include "xml/xmltree.h"

#include "main/exception.h"
#include "main/parseexception.h"
#include "managers/file.h"

#include <expat.h>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kBlockSize = 32768;

std::string trim(const std::string& text) {
    const char* const blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Frees the parser on every way out of parse.
class ParserHandle {
public:
    ParserHandle() : m_parser(XML_ParserCreate(nullptr)) {}
    ~ParserHandle() {
        if (m_parser != nullptr) {
            XML_ParserFree(m_parser);
        }
    }
    ParserHandle(const ParserHandle&) = delete;
    ParserHandle& operator=(const ParserHandle&) = delete;

    XML_Parser get() const { return m_parser; }

private:
    XML_Parser m_parser;
};

} // namespace

XMLTree::XMLTree() = default;

XMLTree::~XMLTree() = default;

void XMLTree::parse(File& file) {
    m_root.reset();
    m_current = nullptr;

    ParserHandle parser;
    if (parser.get() == nullptr) {
        throw Exception(__FILE__, __LINE__, "Unable to create XML parser");
    }
    XML_SetUserData(parser.get(), this);
    XML_SetElementHandler(parser.get(), &XMLTree::onStartElement, &XMLTree::onEndElement);
    XML_SetCharacterDataHandler(parser.get(), &XMLTree::onCharacterData);

    std::vector<char> block(kBlockSize);
    while (!file.isEOF()) {
        const std::uint32_t got = file.read(block.data(), kBlockSize);
        // A read that yields nothing before the end (a read error) ends the input here: the
        // parser is told it has everything, and a document cut short fails as such.
        const bool last = file.isEOF() || got == 0;
        if (XML_Parse(parser.get(), block.data(), static_cast<int>(got), last ? 1 : 0) == XML_STATUS_ERROR) {
            throw ParseException(__FILE__, __LINE__,
                                 std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
                                     std::to_string(XML_GetCurrentLineNumber(parser.get())));
        }
        if (last) {
            break;
        }
    }
    m_current = nullptr;
}

void XMLTree::onStartElement(void* userData, const char* name, const char** attributes) {
    auto& tree = *static_cast<XMLTree*>(userData);
    auto node = std::make_unique<XMLNode>(name, tree.m_current);
    for (const char** a = attributes; a[0] != nullptr; a += 2) {
        node->m_attributes.emplace(a[0], a[1]);
    }
    XMLNode* added = node.get();
    if (tree.m_current == nullptr) {
        tree.m_root = std::move(node);
    } else {
        flush(*tree.m_current);
        tree.m_current->m_children.push_back(std::move(node));
    }
    tree.m_current = added;
}

void XMLTree::onEndElement(void* userData, const char* /*name*/) {
    auto& tree = *static_cast<XMLTree*>(userData);
    XMLNode* node = tree.m_current;
    if (node == nullptr) {
        return;
    }
    // Character data alone becomes the element's own text rather than a child.
    if (node->m_children.size() == 1 && node->m_children[0]->isText()) {
        node->m_text = std::move(node->m_children[0]->m_text);
        node->m_children.clear();
    }
    node->m_text = trim(node->m_text);
    flush(*node);
    tree.m_current = node->m_parent;
}

void XMLTree::onCharacterData(void* userData, const char* data, int length) {
    auto& tree = *static_cast<XMLTree*>(userData);
    XMLNode* node = tree.m_current;
    if (node == nullptr) {
        return;
    }
    // Expat may hand one run of text over in several calls; they join into one text node.
    if (!node->m_children.empty() && node->m_children.back()->isText()) {
        node->m_children.back()->m_text.append(data, static_cast<std::size_t>(length));
        return;
    }
    auto text = std::make_unique<XMLNode>(std::string(), node);
    text->m_text.assign(data, static_cast<std::size_t>(length));
    node->m_children.push_back(std::move(text));
}

void XMLTree::flush(XMLNode& node) {
    if (node.m_children.empty()) {
        return;
    }
    XMLNode& last = *node.m_children.back();
    last.m_text = trim(last.m_text);
    if (last.m_text.empty() && last.isText()) {
        node.m_children.pop_back();
    }
}
