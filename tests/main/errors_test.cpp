#include "main/d3dexception.h"
#include "main/errorreport.h"
#include "main/filenotfoundexception.h"
#include "main/textcase.h"

#include <gtest/gtest.h>

TEST(ErrorReport, NamesTheRaisingSourceLineThenTheMessageAndDescribesDirect3DResults) {
    const FileNotFoundException missing(__FILE__, -5, "C:\\Game\\Data\\MegaFiles.xml");
    EXPECT_EQ(composeErrorReport(missing), "Caught exception from tests/main/errors_test.cpp:-5\n\n"
                                           "Unable to find file:\nC:\\Game\\Data\\MegaFiles.xml\n");
    EXPECT_EQ(D3DException("e", 1, static_cast<std::int32_t>(0x88760868u)).getMessage(), "Device lost");
    EXPECT_EQ(D3DException("e", 1, static_cast<std::int32_t>(0x8876FFFFu)).getMessage(), "n/a");
    EXPECT_EQ(toUpperAscii(std::string("x_1.alo\xe9\0b", 9)), std::string("X_1.ALO\xe9\0B", 9));
    EXPECT_EQ(toLowerAscii("X_1.ALO\xc9"), "x_1.alo\xc9");
}
