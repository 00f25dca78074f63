#include "platform/file64.h"
#include <gtest/gtest.h>
TEST(File64, Placeholder) { platform::CFile64 f; EXPECT_FALSE(f.IsOpen()); }
