#include "config/SetupFile.h"
#include "platform/SafeFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

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

struct EntryPoint {
    const char* what;
    std::function<void(const std::string&)> run;
};

class StaleTemporaries : public ::testing::TestWithParam<EntryPoint> {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.valid());
        std::ofstream(path)
            << "\"1\",\"01\",\"KVT\",0,1,1,0,0,0,0,10,10000,0,0,2,2,1,0,0,0,1,1,0\r\n";
        for (const auto& n : kNeighbours)
            std::ofstream(folder.file(n.name)) << "partial";
    }
    kvt::test::TempFolder folder;
    std::string path = folder.file("setup.dat");
};

TEST_P(StaleTemporaries, AreRemovedWhileOthersStay) {
    // A save in progress elsewhere holds its temporary file: it must survive.
    const std::string running = folder.file("setup.dat.tmpRunNin");
    const int held = ::open(running.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    // Same naming, but a folder and a link: not files a save makes.
    fs::create_directory(folder.file("setup.dat.tmpFolder"));
    fs::create_symlink(path, folder.file("setup.dat.tmpLinked"));

    GetParam().run(path);

    for (const auto& n : kNeighbours)
        EXPECT_EQ(fs::exists(folder.file(n.name)), !n.abandoned) << n.name;
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::is_directory(folder.file("setup.dat.tmpFolder")));
    EXPECT_TRUE(fs::is_symlink(folder.file("setup.dat.tmpLinked")));
    EXPECT_TRUE(fs::exists(path));
    ::close(held);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, StaleTemporaries,
    ::testing::Values(EntryPoint{"Save",
                                 [](const std::string& p) {
                                     ASSERT_EQ(kvt::platform::replaceFile(p, "x"), "");
                                 }},
                      EntryPoint{"Load",
                                 [](const std::string& p) {
                                     kvt::config::DeviceTable t;
                                     ASSERT_TRUE(kvt::config::LoadDeviceTable(t, p).ok);
                                     ASSERT_EQ(t.deviceCount(), 1);
                                 }}),
    [](const auto& info) { return std::string(info.param.what); });

} // namespace
