#include "config/SetupFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace kvt::config;

namespace {

// A line of the default device with Address `address` and UserEuFactor `factor`.
std::string line(const std::string& address, const std::string& factor = "1") {
    return "\"1\",\"" + address + "\",\"KVT\",0,1," + factor +
           ",0,0,0,0,10,10000,0,0,2,2,1,0,0,0,1,1,0";
}

struct RoundTrip {
    const char* what;
    std::string fileLine;
    bool loaded;
    std::string address; // as loaded, when loaded
};

class SetupRoundTrip : public ::testing::TestWithParam<RoundTrip> {
protected:
    kvt::test::TempFolder folder;
    std::string path = folder.file("setup.dat");
};

// Whatever a load keeps, a save writes and the next load gives back unchanged.
TEST_P(SetupRoundTrip, LoadSaveLoadGivesTheSameTable) {
    const RoundTrip& c = GetParam();
    std::ofstream(path, std::ios::binary) << c.fileLine << "\r\n";
    DeviceTable first;
    const LoadResult r = LoadDeviceTable(first, path);
    ASSERT_EQ(first.deviceCount(), c.loaded ? 1 : 0);
    EXPECT_EQ(r.ok, c.loaded);
    if (c.loaded) {
        EXPECT_EQ(first.record(1).Address, c.address);
    }
    ASSERT_EQ(SaveDeviceTable(first, path), "");
    DeviceTable second;
    EXPECT_TRUE(LoadDeviceTable(second, path).ok);
    ASSERT_EQ(second.deviceCount(), first.deviceCount());
    if (c.loaded) {
        EXPECT_EQ(second.record(1), first.record(1));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SetupRoundTrip,
    ::testing::Values(RoundTrip{"CrInsideText", line("0\r1"), true, "0 1"},
                      RoundTrip{"CrOnlyAddress", line("\r"), true, " "},
                      RoundTrip{"CrInsideUnquotedText", "1,0\r1" + line("").substr(6), true, "0 1"},
                      RoundTrip{"LargestDouble", line("01", "1.7976931348623157e308"), false, ""},
                      RoundTrip{"LargestWritable", line("01", "1.79769313486231e308"), true, "01"},
                      RoundTrip{"SmallestSubnormal", line("01", "4.9406564584124654e-324"), true,
                                "01"}),
    [](const auto& info) { return std::string(info.param.what); });

} // namespace
