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

TEST(Paths, FileTitleDropsFoldersOfEitherKindAndTheLastExtension) {
  for (const auto& [path, title] : {std::pair{"C:\\tables\\de-g2.ctb", "de-g2"},
                                    {"/usr/share/liblouis/tables/de-g2.ctb", "de-g2"},
                                    {"mixed\\dir/en-us-g2.ctb", "en-us-g2"},
                                    {"archive.tar.gz", "archive.tar"},
                                    {"dir.d/noext", "noext"},
                                    {".profile", ".profile"},
                                    {"dir/", ""},
                                    {"", ""}})
    EXPECT_EQ(jex::fileTitle(QString::fromUtf8(path)), QString::fromUtf8(title)) << path;
}
