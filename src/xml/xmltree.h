#pragma once

#include "xml/xmlnode.h"

#include <memory>

class File;

// A small element tree read from an XML document with expat: element names, attributes,
// trimmed text, and children in document order.
class XMLTree {
public:
    XMLTree();
    ~XMLTree();
    XMLTree(const XMLTree&) = delete;
    XMLTree& operator=(const XMLTree&) = delete;

    // Reads file from its position to its end and replaces the tree with the document's.
    // ParseException (expat's text, " at line ", the line) when it is not well-formed;
    // an empty file leaves no root and is no error.
    void parse(File& file);
    // The document element, or none.
    const XMLNode* getRoot() const { return m_root.get(); }

private:
    static void onStartElement(void* userData, const char* name, const char** attributes);
    static void onEndElement(void* userData, const char* name);
    static void onCharacterData(void* userData, const char* data, int length);
    static void flush(XMLNode& node);

    std::unique_ptr<XMLNode> m_root;
    XMLNode* m_current = nullptr;
};
