#include "filters/regex.h"
#include <gtest/gtest.h>
using namespace marrowen;
TEST(RegexSmoke, Basic) {
    TRegex r;
    r.setExpression("a+b");
    std::string s = "xxaab";
    int limit = 0;
    EXPECT_TRUE(r.Exec(s, limit, 1));
    EXPECT_EQ(r.GetMatchPos(0), 3);
    EXPECT_EQ(r.GetMatchLen(0), 3);
    std::cout << r.dumpProgram();
}
