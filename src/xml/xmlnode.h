#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One element of an XMLTree, or a text node (empty name) holding a run of character data
// that sits among element children.
class XMLNode {
public:
    XMLNode(std::string name, XMLNode* parent);
    ~XMLNode();
    XMLNode(const XMLNode&) = delete;
    XMLNode& operator=(const XMLNode&) = delete;

    // Element name as the parser reports it (UTF-8); empty for a text node.
    const std::string& getName() const { return m_name; }
    // The element's own character data, trimmed; for a text node, its run of data.
    const std::string& getText() const { return m_text; }
    // Attribute name to value.
    const std::map<std::string, std::string>& getAttributes() const { return m_attributes; }
    // The enclosing element, or none for the root.
    const XMLNode* getParent() const { return m_parent; }
    // Number of children: elements and text nodes in document order.
    std::size_t getChildCount() const { return m_children.size(); }
    // The child at index i.
    const XMLNode& getChild(std::size_t i) const { return *m_children[i]; }
    // True for a text node.
    bool isText() const { return m_name.empty(); }

private:
    friend class XMLTree;

    std::string m_name;
    XMLNode* m_parent;
    std::string m_text;
    std::map<std::string, std::string> m_attributes;
    std::vector<std::unique_ptr<XMLNode>> m_children;
};
