#include "main/badfileexception.h"
#include "main/d3dexception.h"
#include "main/errorreport.h"
#include "main/filenotfoundexception.h"
#include "main/parseexception.h"
#include "main/textcase.h"

#include <gtest/gtest.h>

TEST(ErrorReport, ComposesSourceLineBlankLineAndMessage) {
    const Exception error("main/application.cpp", 120, "Unable to register window class");
    EXPECT_EQ(composeErrorReport(error),
              "Caught exception from main/application.cpp:120\n\nUnable to register window class\n");
}

TEST(ErrorReport, KeepsItsShapeForEmptyMessagesAndNegativeLines) {
    EXPECT_EQ(composeErrorReport(Exception("a.cpp", 1234567, "")),
              "Caught exception from a.cpp:1234567\n\n\n");
    EXPECT_EQ(composeErrorReport(Exception("a.cpp", -5, "m")), "Caught exception from a.cpp:-5\n\nm\n");
}

TEST(ErrorReport, ShowsAMissingFilesPathOnALineOfItsOwn) {
    const FileNotFoundException error("managers/physicalfile.cpp", 9, "C:\\Game\\Data\\MegaFiles.xml");
    EXPECT_EQ(composeErrorReport(error), "Caught exception from managers/physicalfile.cpp:9\n\n"
                                         "Unable to find file:\nC:\\Game\\Data\\MegaFiles.xml\n");
}

TEST(Exceptions, ComposeTheirMessagesAndKeepTheRaiseSite) {
    const BadFileException bad("model/model.cpp", 77, "ship.alo");
    EXPECT_EQ(bad.getMessage(), "Bad or corrupted file:\nship.alo");
    EXPECT_EQ(bad.getFile(), "model/model.cpp");
    EXPECT_EQ(bad.getLine(), 77);
    EXPECT_EQ(ParseException("x", 1, "syntax error at line 3").getMessage(), "syntax error at line 3");
}

TEST(Exceptions, FileErrorsAreCaughtAsIOExceptionsAndEverythingAsException) {
    bool caughtAsIO = false;
    try {
        throw FileNotFoundException(__FILE__, __LINE__, "x");
    } catch (const IOException& e) {
        caughtAsIO = e.getMessage() == "Unable to find file:\nx";
    }
    EXPECT_TRUE(caughtAsIO);
    EXPECT_THROW(throw BadFileException(__FILE__, __LINE__, "x"), IOException);
    EXPECT_THROW(throw ParseException(__FILE__, __LINE__, "x"), Exception);
    EXPECT_THROW(throw D3DException(__FILE__, __LINE__, 0), Exception);
}

TEST(Exceptions, RecordTheRaisingSourceRelativeToTheTree) {
    try {
        throw IOException(__FILE__, __LINE__, "m");
    } catch (const Exception& e) {
        EXPECT_EQ(e.getFile(), "tests/main/errors_test.cpp");
    }
}

TEST(D3DException, DescribesKnownResultsAndSaysNaForOthers) {
    EXPECT_EQ(D3DException("e", 1, 0).getMessage(), "The function completed successfully");
    EXPECT_EQ(D3DException("e", 1, static_cast<std::int32_t>(0x88760868u)).getMessage(), "Device lost");
    EXPECT_EQ(D3DException("e", 1, static_cast<std::int32_t>(0x8876FFFFu)).getMessage(), "n/a");
    EXPECT_EQ(D3DException("e", 1, 12345).getMessage(), "n/a");
}

TEST(TextCase, UpperCasesOnlyAsciiLetters) {
    EXPECT_EQ(toUpperAscii("data\\art/models\\x_1.alo"), "DATA\\ART/MODELS\\X_1.ALO");
    EXPECT_EQ(toUpperAscii("\xe9t\xe9"), "\xe9T\xe9");
    EXPECT_EQ(toUpperAscii(std::string("a\0b", 3)), std::string("A\0B", 3));
}
