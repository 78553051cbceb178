#include "xml/xmlnode.h"

#include <utility>

XMLNode::XMLNode(std::string name, XMLNode* parent) : m_name(std::move(name)), m_parent(parent) {}

XMLNode::~XMLNode() {
    // Tear the subtree down without recursion: a deeply nested document must not exhaust the stack.
    std::vector<std::unique_ptr<XMLNode>> pending = std::move(m_children);
    while (!pending.empty()) {
        std::unique_ptr<XMLNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->m_children) {
            pending.push_back(std::move(child));
        }
        node->m_children.clear();
    }
}
