#include <gtest/gtest.h>
#include "shell/paths.h"
TEST(Paths, JoinRules) { char b[16]; EXPECT_TRUE(JoinAlways(b, sizeof b, "C:\\", "x")); EXPECT_STREQ("C:\\\\x", b); }
