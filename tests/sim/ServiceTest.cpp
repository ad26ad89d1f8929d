#include "SimTestLine.h"

#include "sim/Text.h"

#include <regex>
#include <string>

namespace kvt::sim::testing {
namespace {

// The value of a converter reply from a fixed character position (1-based), as the terminal
// reads it; the whole rest must be the number.
int valueAt(const std::string& reply, std::size_t position) {
    EXPECT_GE(reply.size(), position) << reply;
    if (reply.size() < position)
        return -1;
    auto v = text::parseInteger(reply.substr(position - 1));
    EXPECT_TRUE(v.has_value()) << "'" << reply << "' has no number at " << position;
    return v ? static_cast<int>(*v) : -1;
}

// One device's memory: values written and read back, and the back door that gates only the
// converters and DACs.
TEST(SimService, EepromHoldsACalibrationAndWhatIsWrittenBehindABackDoor) {
    Line232 line;
    line.expect({"mr,1", "KV230001", "mr,113", "120", "mr,114", "0.0", "mr,134", "1.0"});
    // Text round-trips as written, commas and case included, with the back door closed.
    line.expect({"mw,5,1234", "MW,5,1234", "mw,107,Lab 3, Bldg B", "MW,107,Lab 3, Bldg B", "MR,107",
                 "Lab 3, Bldg B", "mw,0,2.00", "MW,0,2.00", "mr,136", "0"});

    // Blank and overlong values are refused and leave the cell alone; the longest is taken.
    const std::string longest(Device::kMaxValueLength, '7');
    for (std::string v : {std::string(), std::string(30, ' '), longest + "7"})
        EXPECT_EQ(line.ask("mw,5," + v), "?");
    line.expect({"mr,5", "1234", "mw,5," + longest, "MW,5," + longest});

    // 100..136 belong to the selected gas table.
    line.send({"mw,100,Forming Gas", "g,1"});
    line.expect({"mr,100", "Air", "mr,105", "Air"});
    line.expect({"g,0", "G0", "MR,100", "Forming Gas"});
    // Variables below 100 are shared.
    line.expect({"g,1", "G1", "mr,0", "2.00"});
    // The back door gates the converters and DACs only.
    for (std::string body : {"read,1", "Read,7", "WRITE,2,2000", "write,4,d", "at,50"})
        EXPECT_EQ(line.ask(body), "BackDoorLocked") << body;
    EXPECT_FALSE(line.device().dac(1) != 0 || line.device().updateDisabled() ||
                 line.device().autoTuning());
    // Status and stop of an auto-tune are not service commands.
    EXPECT_EQ(line.ask("at,s").substr(0, 5), "ATSD,");

    line.expect({"mw,1000,1", "BackDoorEnabled: Y", "mr,1000", "1", "write,1,4000", "write,1,4000",
                 "write,4,d", "DisableUpdate: D"});
    EXPECT_TRUE(line.device().dac(1) == 4000 && line.device().updateDisabled());
    // Closing the door hands the outputs back to the device.
    line.expect({"MW,1000,0", "BackDoorEnabled: N", "read,2", "BackDoorLocked"});
    EXPECT_FALSE(line.device().updateDisabled());
}

TEST(SimService, ConverterValuesSitWhereTheTerminalReadsThem) {
    DeviceOptions o;
    o.noisePercent = 0.0;
    Line232 line(o);
    line.ask("mw,1000,1");
    for (double input : {0.0, 1.0}) {
        line.device().setAnalogInput(input);
        EXPECT_EQ(valueAt(line.ask("read,1"), 8), line.device().adcCounts());
    }
    EXPECT_NE(line.device().adcCounts(), 0);
    for (double sp : {0.0, 100.0}) {
        line.ask("s," + text::fixed(sp, 3));
        std::string avg = line.after(10.0, "read,2");
        EXPECT_EQ(avg.substr(0, 11), "SensorAvg: ");
        EXPECT_EQ(valueAt(avg, 12), line.device().sensorAverageCounts());
        EXPECT_EQ(valueAt(line.ask("Read,7"), 13), line.device().sensorCompensatedCounts());
        EXPECT_EQ(valueAt(line.ask("Read,5"), 12),
                  static_cast<int>(std::lround(sp / 100.0 * 4000.0)));
        EXPECT_EQ(valueAt(line.ask("Read,4"), 9), line.device().dac(0));
    }
    // At full scale the compensated reading lies in the window span setting accepts.
    EXPECT_GE(valueAt(line.ask("Read,7"), 13), 2500);
    EXPECT_LE(valueAt(line.ask("Read,7"), 13), 3650);
    // The zero DAC shifts the raw sensor reading, not the compensated one.
    int avg = valueAt(line.ask("read,2"), 12);
    int comp = valueAt(line.ask("Read,7"), 13);
    int zero = line.device().dac(0);
    EXPECT_EQ(line.ask("WRITE,0," + std::to_string(zero + 100)),
              "WRITE,0," + std::to_string(zero + 100));
    EXPECT_EQ(valueAt(line.ask("Read,4"), 9), zero + 100);
    EXPECT_EQ(valueAt(line.ask("read,2"), 12), avg + 50);
    EXPECT_EQ(valueAt(line.ask("Read,7"), 13), comp);
}

TEST(SimService, ZeroingReportsInProgressThenTheFormerState) {
    DeviceOptions o;
    o.zeroingSeconds = 4.0;
    o.noisePercent = 0.0;
    Line232 line(o);
    line.expect({"z,d", "ZD", "z,n", "ZN"});
    line.expect(1.0, {"z,s", "ZNI", "z,n", "ZN"}); // asking again does not prolong it
    line.expect(2.5, {"z,s", "ZNI"});
    line.expect(1.0, {"z,s", "ZD"});
    // With no flow the zeroed sensor reads the zero point.
    line.ask("mw,1000,1");
    EXPECT_EQ(valueAt(line.ask("read,2"), 12), 120);
}

TEST(SimService, AutoTuneReportsProgressThenFinalConstants) {
    DeviceOptions o;
    o.autoTuneSeconds = 8.0;
    Line232 line(o);
    const std::string before = line.ask("mr,110");
    line.ask("mw,1000,1");
    EXPECT_EQ(line.ask("at,50.00").substr(0, 2), "AT");
    for (int i = 0; i < 7; ++i) {
        std::string status = line.after(1.0, "at,s");
        EXPECT_TRUE(std::regex_match(status, std::regex("ATSI(,-?[0-9]+(\\.[0-9]+)?){3}")))
            << status;
        EXPECT_EQ(line.ask("mr,110"), before); // not written until done
    }
    std::string done = line.after(1.5, "at,s");
    ASSERT_EQ(done.substr(0, 5), "ATSD,");
    EXPECT_EQ(done,
              "ATSD," + line.ask("mr,110") + "," + line.ask("mr,111") + "," + line.ask("mr,112"));
    EXPECT_NE(line.ask("mr,110"), before);
}

} // namespace
} // namespace kvt::sim::testing
