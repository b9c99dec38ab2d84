#include <gtest/gtest.h>

#include "core/base/paths.h"

namespace {

struct SlashCase {
  const char* dir;
  const char* joined;
};

class TrailingSlash : public ::testing::TestWithParam<SlashCase> {};

TEST_P(TrailingSlash, EndsWithExactlyOneSlash) {
  EXPECT_EQ(jex::withTrailingSlash(QString::fromUtf8(GetParam().dir)), QString::fromUtf8(GetParam().joined));
}

INSTANTIATE_TEST_SUITE_P(Dirs, TrailingSlash,
                         ::testing::Values(SlashCase{"/opt/core", "/opt/core/"}, SlashCase{"/opt/core/", "/opt/core/"},
                                           SlashCase{"/opt/core\\", "/opt/core/"}, SlashCase{"", "/"},
                                           SlashCase{" a ", " a /"}));

}  // namespace
