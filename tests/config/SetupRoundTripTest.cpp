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
    std::string address; // as loaded; empty: the line is not loaded
};

} // namespace

// Whatever a load keeps, a save writes and the next load gives back unchanged.
TEST(SetupRoundTrip, LoadSaveLoadGivesTheSameTable) {
    const RoundTrip cases[] = {{"CR inside a text", line("0\r1"), "0 1"},
                               {"CR only address", line("\r"), " "},
                               {"CR inside an unquoted text", "1,0\r1" + line("").substr(6), "0 1"},
                               {"largest double", line("01", "1.7976931348623157e308"), ""},
                               {"largest writable", line("01", "1.79769313486231e308"), "01"},
                               {"smallest subnormal", line("01", "4.9406564584124654e-324"), "01"}};
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.what);
        kvt::test::TempFolder folder;
        const std::string path = folder.file("setup.dat");
        std::ofstream(path, std::ios::binary) << c.fileLine << "\r\n";
        DeviceTable first;
        const LoadResult r = LoadDeviceTable(first, path);
        EXPECT_EQ(r.ok, !c.address.empty());
        ASSERT_EQ(first.deviceCount(), c.address.empty() ? 0 : 1);
        EXPECT_EQ(first.record(1).Address, c.address);
        ASSERT_EQ(SaveDeviceTable(first, path), "");
        DeviceTable second;
        EXPECT_TRUE(LoadDeviceTable(second, path).ok);
        EXPECT_EQ(second.record(1), first.record(1));
        EXPECT_EQ(second.deviceCount(), first.deviceCount());
    }
}
