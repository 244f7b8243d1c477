#include <gtest/gtest.h>
#include "math/Matrix4.h"
TEST(Matrix4, DefaultIsIdentity) { Matrix4 m; EXPECT_EQ(m.m[0][0], 1.0f); EXPECT_EQ(m.m[0][1], 0.0f); }
