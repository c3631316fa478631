#include <gtest/gtest.h>

#include <korvel/korvel.h>

// The public header states the version by hand; the build states it in the project.
TEST(PublicHeader, StatesTheProjectVersion) { EXPECT_STREQ(korvel::kVersion, KORVEL_VERSION); }
