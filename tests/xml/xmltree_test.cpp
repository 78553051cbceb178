#include "main/parseexception.h"
#include "support/memoryfile.h"
#include "xml/xmltree.h"

#include <gtest/gtest.h>

namespace {

// Parses text and returns the tree; the file is released as the parse returns.
std::unique_ptr<XMLTree> parse(const std::string& text) {
    auto tree = std::make_unique<XMLTree>();
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(text);
    tree->parse(*file);
    return tree;
}

std::string parseError(const std::string& text) {
    try {
        parse(text);
    } catch (const ParseException& e) {
        EXPECT_EQ(e.getFile(), "xml/xmltree.cpp");
        return e.getMessage();
    }
    return "no error";
}

} // namespace

TEST(XMLTree, CharacterDataAloneBecomesTheTrimmedText) {
    auto tree = parse("<a>\n\t x y \r\n</a>");
    const XMLNode& a = *tree->getRoot();
    EXPECT_EQ(a.getName(), "a");
    EXPECT_EQ(a.getText(), "x y");
    EXPECT_EQ(a.getChildCount(), 0u);
    EXPECT_EQ(a.getParent(), nullptr);
}

TEST(XMLTree, BlankSeparatedChildrenLeaveNoTextNodes) {
    auto tree =
        parse("<Mega_Files>\n  <File>A</File>\n  <File> B </File>\n  <Empty>   </Empty>\n</Mega_Files>\n");
    const XMLNode& root = *tree->getRoot();
    EXPECT_EQ(root.getText(), "");
    ASSERT_EQ(root.getChildCount(), 3u);
    EXPECT_EQ(root.getChild(1).getText(), "B");
    EXPECT_EQ(root.getChild(1).getParent(), &root);
    EXPECT_EQ(root.getChild(2).getText(), "");
    EXPECT_EQ(root.getChild(2).getChildCount(), 0u);
}

TEST(XMLTree, MixedContentKeepsOneTrimmedTextNodePerRun) {
    auto tree = parse("<a> t <b/> u &amp; v <c>w</c></a>");
    const XMLNode& a = *tree->getRoot();
    EXPECT_EQ(a.getText(), "");
    ASSERT_EQ(a.getChildCount(), 4u);
    EXPECT_TRUE(a.getChild(0).isText());
    EXPECT_EQ(a.getChild(0).getText(), "t");
    EXPECT_EQ(a.getChild(1).getName(), "b");
    EXPECT_EQ(a.getChild(2).getText(), "u & v");
    EXPECT_EQ(a.getChild(3).getText(), "w");
}

TEST(XMLTree, AttributesAreKeptAndDocumentTrimmingsIgnored) {
    auto tree = parse("<?xml version=\"1.0\"?><!-- list --><!DOCTYPE r><r z=\"1\" a='two' m=\"&lt;3\">"
                      "<![CDATA[ <raw> ]]><?pi x?></r>");
    const XMLNode& r = *tree->getRoot();
    const std::map<std::string, std::string> expected = {{"a", "two"}, {"m", "<3"}, {"z", "1"}};
    EXPECT_EQ(r.getAttributes(), expected);
    EXPECT_EQ(r.getText(), "<raw>");
}

TEST(XMLTree, MalformedDocumentsReportExpatsTextAndLine) {
    EXPECT_EQ(parseError("<a>\n<b>\n</a>"), "mismatched tag at line 3");
    EXPECT_EQ(parseError("<a>\n<b>text"), "no element found at line 2");
    EXPECT_EQ(parseError("<a x=\"1\" x=\"2\"/>"), "duplicate attribute at line 1");
    EXPECT_EQ(parseError("<a></a><b/>"), "junk after document element at line 1");
    EXPECT_EQ(parseError("  \n"), "no element found at line 2");
}

TEST(XMLTree, EmptyFileGivesNoRootAndAReparseReplacesTheTree) {
    XMLTree tree;
    RefPtr<MemoryFile> empty = makeRef<MemoryFile>("");
    tree.parse(*empty);
    EXPECT_EQ(tree.getRoot(), nullptr);
    RefPtr<MemoryFile> doc = makeRef<MemoryFile>("<x/>");
    tree.parse(*doc);
    ASSERT_NE(tree.getRoot(), nullptr);
    tree.parse(*empty);
    EXPECT_EQ(tree.getRoot(), nullptr);
}

TEST(XMLTree, LargeDocumentsSpanningBlocksParseWhole) {
    std::string text = "<list>";
    for (int i = 0; i < 5000; ++i) {
        text += "<File>Data\\Archive" + std::to_string(i) + ".meg</File>\n";
    }
    text += "<tail>" + std::string(70000, 'z') + "</tail></list>";
    ASSERT_GT(text.size(), 3u * 32768u);
    auto tree = parse(text);
    ASSERT_EQ(tree->getRoot()->getChildCount(), 5001u);
    EXPECT_EQ(tree->getRoot()->getChild(4999).getText(), "Data\\Archive4999.meg");
    EXPECT_EQ(tree->getRoot()->getChild(5000).getText().size(), 70000u);
}

TEST(XMLTree, AReadErrorEndsTheInputInsteadOfSpinning) {
    std::string text = "<list>" + std::string(40000, ' ') + "</list>";
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(text);
    file->failReadsFrom(32768);
    XMLTree tree;
    EXPECT_THROW(tree.parse(*file), ParseException);
    EXPECT_EQ(file->readCalls(), 2);
}

TEST(XMLTree, DeeplyNestedDocumentsAreBuiltAndFreed) {
    const int depth = 200000;
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += "<n>";
    }
    for (int i = 0; i < depth; ++i) {
        text += "</n>";
    }
    auto tree = parse(text);
    const XMLNode* node = tree->getRoot();
    int levels = 0;
    while (node->getChildCount() == 1) {
        node = &node->getChild(0);
        ++levels;
    }
    EXPECT_EQ(levels, depth - 1);
}
