// Fuzz target: the XML reader alone.
//
// The input is written to a file, opened as a PhysicalFile and parsed; the tree is then walked
// (without recursion, since documents may nest deeply) as the file manager reads it. A
// ParseException for a document that is not well-formed is a normal outcome.

#include "scratchfolder.h"

#include "main/exception.h"
#include "managers/physicalfile.h"
#include "xml/xmlnode.h"
#include "xml/xmltree.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void exercise(const std::string& path) {
    RefPtr<File> file = makeRef<PhysicalFile>(path);
    XMLTree tree;
    tree.parse(*file);
    if (!file->isEOF()) {
        std::abort();
    }
    std::vector<const XMLNode*> pending;
    if (const XMLNode* root = tree.getRoot()) {
        if (root->getParent() != nullptr) {
            std::abort();
        }
        pending.push_back(root);
    }
    volatile std::size_t sink = 0;
    while (!pending.empty()) {
        const XMLNode* node = pending.back();
        pending.pop_back();
        sink = sink + node->getName().size() + node->getText().size();
        for (const auto& [name, value] : node->getAttributes()) {
            sink = sink + name.size() + value.size();
        }
        for (std::size_t i = 0; i < node->getChildCount(); ++i) {
            const XMLNode& child = node->getChild(i);
            if (child.getParent() != node) {
                std::abort();
            }
            pending.push_back(&child);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    const std::string path =
        scratch.write("Document.xml", std::string(reinterpret_cast<const char*>(data), size));
    try {
        exercise(path);
    } catch (const Exception&) {
        // Refusing a document that is not well-formed is the expected answer to most inputs.
    }
    return 0;
}
