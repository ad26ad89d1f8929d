#include "platform/SafeFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>

using kvt::platform::replaceFile;
using kvt::test::TempFolder;

namespace {

using kvt::platform::readFile;
using kvt::test::readFile;

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(SafeFile, ReplaceKeepsModeAndFollowsLinks) {
    TempFolder dir;
    ASSERT_TRUE(dir.valid());
    const std::string path = dir.file("a.dat");

    ASSERT_EQ(replaceFile(path, std::string("one\0two", 7)), "");
    EXPECT_EQ(readFile(path), std::string("one\0two", 7));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(path), 0666 & ~mask) << "a new file gets the usual bits, not 0600";

    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(replaceFile(path, ""), "");
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(modeOf(path), 0640u);

    // Replacing through a link writes the target and keeps the link.
    const std::string link = dir.file("link.dat");
    std::filesystem::create_symlink(path, link);
    ASSERT_EQ(replaceFile(link, "via link"), "");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(path), "via link");

    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2)
        << "a temporary file was left behind";
}

TEST(SafeFile, ReadReportsMissingAndErrors) {
    TempFolder dir;
    std::string out = "stale";
    bool missing = false;
    EXPECT_EQ(readFile(dir.file("none"), out, missing), "");
    EXPECT_TRUE(missing);
    EXPECT_EQ(out, "");

    const std::string path = dir.file("b.dat");
    ASSERT_EQ(replaceFile(path, "0123456789"), "");
    EXPECT_EQ(readFile(path, out, missing), "");
    EXPECT_FALSE(missing);
    EXPECT_EQ(out, "0123456789");

    EXPECT_EQ(readFile(path, out, missing, 9), "Cannot read " + path + ": File too large");
    EXPECT_EQ(out, "");
    EXPECT_EQ(readFile(dir.path(), out, missing), "Cannot read " + dir.path() + ": Is a directory");
    EXPECT_FALSE(missing);
}
