#include "platform/SafeFile.h"
#include "config/SetupFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace fs = std::filesystem;

// Files next to setup.dat before a save or load; which of them an interrupted save left.
struct Neighbour {
    const char* name;
    bool abandoned;
};
const Neighbour kNeighbours[] = {
    {"setup.dat.tmpAb12Z9", true},      {"setup.dat.tmp000000", true},
    {"setup.dat.tmpAb12Z", false},      {"setup.dat.tmpAb12Z99", false},
    {"setup.dat.tmp-b12Z9", false},     {"other.dat.tmpAb12Z9", false},
    {"setup.dat.bak", false},           {"xsetup.dat.tmpAb12Z9", false},
    {"setup.dat.bak.tmpQw3rty", false}, // another file's: removed when that file is written
};

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

TEST(SafeFile, ReadReportsMissingAndErrorsAndLeavesNoStaleText) {
    TempFolder dir;
    std::string out = "stale";
    bool missing = false;
    EXPECT_EQ(readFile(dir.file("none"), out, missing), "");
    EXPECT_TRUE(missing && out.empty());

    const std::string path = dir.file("b.dat");
    ASSERT_EQ(replaceFile(path, "0123456789"), "");
    EXPECT_EQ(readFile(path, out, missing, 10), ""); // exactly the limit
    EXPECT_EQ(out, "0123456789");
    EXPECT_FALSE(missing);
    EXPECT_EQ(readFile(path, out, missing, 9), "Cannot read " + path + ": File too large");
    EXPECT_EQ(out, "");
}

TEST(StaleTemporaries, AreRemovedBySaveAndLoadWhileOthersStay) {
    const std::function<void(const std::string&)> entryPoints[] = {
        [](const std::string& p) { ASSERT_EQ(replaceFile(p, "x"), ""); },
        [](const std::string& p) {
            kvt::config::DeviceTable t;
            ASSERT_TRUE(kvt::config::LoadDeviceTable(t, p).ok);
            ASSERT_EQ(t.deviceCount(), 1);
        }};
    for (const auto& run : entryPoints) {
        SCOPED_TRACE(&run == entryPoints ? "save" : "load");
        TempFolder folder;
        ASSERT_TRUE(folder.valid());
        const std::string path = folder.file("setup.dat");
        std::ofstream(path)
            << "\"1\",\"01\",\"KVT\",0,1,1,0,0,0,0,10,10000,0,0,2,2,1,0,0,0,1,1,0\r\n";
        for (const auto& n : kNeighbours)
            std::ofstream(folder.file(n.name)) << "partial";
        // A save in progress elsewhere holds its temporary file: it must survive.
        const std::string running = folder.file("setup.dat.tmpRunNin");
        const int held = ::open(running.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        ASSERT_GE(held, 0);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        // Same naming, but a folder and a link: not files a save makes.
        fs::create_directory(folder.file("setup.dat.tmpFolder"));
        fs::create_symlink(path, folder.file("setup.dat.tmpLinked"));

        run(path);

        for (const auto& n : kNeighbours)
            EXPECT_EQ(fs::exists(folder.file(n.name)), !n.abandoned) << n.name;
        EXPECT_TRUE(fs::exists(running));
        EXPECT_TRUE(fs::is_directory(folder.file("setup.dat.tmpFolder")));
        EXPECT_TRUE(fs::is_symlink(folder.file("setup.dat.tmpLinked")));
        EXPECT_TRUE(fs::exists(path));
        ::close(held);
    }
}
