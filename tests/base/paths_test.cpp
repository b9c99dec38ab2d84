#include <gtest/gtest.h>

#include "base/paths.h"

TEST(Paths, DirectoriesEndWithExactlyOneSlash) {
  for (const auto& [dir, joined] : {std::pair{"/opt/core", "/opt/core/"},
                                    {"/opt/core/", "/opt/core/"},
                                    {"/opt/core\\", "/opt/core/"},
                                    {"", "/"},
                                    {" a ", " a /"}})
    EXPECT_EQ(jex::withTrailingSlash(QString::fromUtf8(dir)), QString::fromUtf8(joined)) << dir;
}
