#include "main/parseexception.h"
#include "support/memoryfile.h"
#include "xml/xmltree.h"

#include <gtest/gtest.h>

namespace {

// Parses text into tree; the file is released as the parse returns.
void parse(XMLTree& tree, const std::string& text) {
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(text);
    tree.parse(*file);
}

std::string parseError(const std::string& text) {
    try {
        XMLTree tree;
        parse(tree, text);
    } catch (const ParseException& e) {
        return e.getMessage();
    }
    return "no error";
}

} // namespace

TEST(XMLTree, TextAloneIsTheElementsTrimmedTextAndMixedContentKeepsOneTextNodePerRun) {
    XMLTree tree;
    parse(tree,
          "<?xml version=\"1.0\"?><!-- c --><Mega_Files z=\"1\" m=\"&lt;3\">\n  <File>A</File>\n"
          "  <File>\n\t B <![CDATA[ <raw> ]]>\r\n</File>\n  <Empty>   </Empty><?pi x?>\n</Mega_Files>\n");
    const XMLNode& root = *tree.getRoot();
    EXPECT_EQ(root.getName(), "Mega_Files");
    EXPECT_EQ(root.getAttributes(), (std::map<std::string, std::string>{{"m", "<3"}, {"z", "1"}}));
    EXPECT_EQ(root.getText(), "");
    ASSERT_EQ(root.getChildCount(), 3u);
    EXPECT_EQ(root.getChild(1).getText(), "B  <raw>");
    EXPECT_EQ(root.getChild(1).getParent(), &root);
    EXPECT_EQ(root.getChild(2).getChildCount(), 0u);

    parse(tree, "<a> t <b/> u &amp; v <c>w</c></a>");
    const XMLNode& a = *tree.getRoot();
    ASSERT_EQ(a.getChildCount(), 4u);
    EXPECT_TRUE(a.getChild(0).isText() && a.getChild(0).getText() == "t");
    EXPECT_EQ(a.getChild(1).getName(), "b");
    EXPECT_EQ(a.getChild(2).getText(), "u & v");
    EXPECT_EQ(a.getChild(3).getText(), "w");
    parse(tree, "");
    EXPECT_EQ(tree.getRoot(), nullptr);
}

TEST(XMLTree, MalformedCutShortOrUnreadableDocumentsReportExpatsTextAndLine) {
    EXPECT_EQ(parseError("<a>\n<b>\n</a>"), "mismatched tag at line 3");
    EXPECT_EQ(parseError("<a></a><b/>"), "junk after document element at line 1");
    // Past the first block, so that the end of the input is told apart from the end of a block.
    EXPECT_EQ(parseError("<a>" + std::string(40000, '\n') + "<b>text"), "no element found at line 40001");
    RefPtr<MemoryFile> file = makeRef<MemoryFile>("<list>" + std::string(40000, ' ') + "</list>");
    file->failReadsFrom(32768);
    XMLTree tree;
    EXPECT_THROW(tree.parse(*file), ParseException);
    EXPECT_EQ(file->readCalls(), 2);
}

TEST(XMLTree, DeeplyNestedDocumentsAreBuiltAndFreed) {
    const int depth = 200000;
    XMLTree tree;
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<n>", close += "</n>";
    }
    parse(tree, open + close);
    int levels = 0;
    for (const XMLNode* node = tree.getRoot(); node->getChildCount() == 1; node = &node->getChild(0)) {
        ++levels;
    }
    EXPECT_EQ(levels, depth - 1);
}
