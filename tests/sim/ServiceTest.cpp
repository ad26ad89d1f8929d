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

// One device's memory: its factory calibration, values written and read back, and the back door
// that gates only the converters and DACs.
TEST(SimService, EepromHoldsACalibrationAndWhatIsWrittenBehindABackDoor) {
    Line232 line;
    line.expect({"mr,1", "KV230001", "mr,113", "120", "mr,114", "0.0"});
    int lastCounts = 120;
    for (int k = 0; k < 10; ++k) {
        int counts = static_cast<int>(number(line.ask("mr," + std::to_string(115 + 2 * k))));
        EXPECT_GT(counts, lastCounts) << "point " << k;
        lastCounts = counts;
        EXPECT_EQ(line.ask("mr," + std::to_string(116 + 2 * k)), text::fixed((k + 1) / 10.0, 1));
    }
    EXPECT_GE(lastCounts, 2500); // span setting accepts 2500..3650 at full scale
    EXPECT_LE(lastCounts, 3650);
    EXPECT_EQ(line.ask("mr,40"), "0");
    int lastValve = 0;
    for (int n = 42; n <= 58; n += 2) {
        int counts = static_cast<int>(number(line.ask("mr," + std::to_string(n))));
        EXPECT_GT(counts, lastValve) << "variable " << n;
        lastValve = counts;
    }
    EXPECT_LE(lastValve, 4095);
    for (int n = 110; n <= 112; ++n)
        EXPECT_GT(number(line.ask("mr," + std::to_string(n))), 0.0);
    for (int n : {8, 9, 10, 11, 12, 13, 6})
        number(line.ask("mr," + std::to_string(n)));
    // Text round-trips as written.
    line.expect({"mw,5,1234", "MW,5,1234", "mr,5", "1234"});
    const std::string padded = "Argon" + std::string(25, ' ');
    EXPECT_EQ(line.ask("MW,105," + padded), "MW,105," + padded);
    EXPECT_EQ(line.ask("mr,105"), padded);
    line.expect({"mw,107,Lab 3, Bldg B", "MW,107,Lab 3, Bldg B", "MR,107", "Lab 3, Bldg B"});
    EXPECT_EQ(line.ask("MW,105,nitrogen"), "MW,105,nitrogen"); // the value keeps its case
    line.expect({"mw,131,2000", "MW,131,2000", "mw,0,2.00", "MW,0,2.00", "mr,136", "0"});
    EXPECT_EQ(line.device().eeprom(5), "1234");

    // Blank and overlong values are refused and leave the cell alone.
    EXPECT_EQ(line.ask("mw,5,"), "?");
    EXPECT_EQ(line.ask("mw,5," + std::string(30, ' ')), "?");
    EXPECT_EQ(line.ask("mw,5," + std::string(Device::kMaxValueLength + 1, '7')), "?");
    EXPECT_EQ(line.ask("mw,5," + std::string(Device::kMaxValueLength, '7')).size(),
              5 + Device::kMaxValueLength);
    line.ask("mw,5,1234");
    EXPECT_EQ(line.ask("mr,5"), "1234");

    // 100..136 belong to the selected gas table.
    line.send({"mw,100,Forming Gas", "g,1"});
    line.expect({"mr,100", "Air", "mr,105", "Air"});
    line.ask("g,0");
    EXPECT_EQ(line.ask("MR,100"), "Forming Gas");
    // Variables below 100 are shared.
    line.ask("g,1");
    EXPECT_EQ(line.ask("mr,5"), "1234");
    // The back door gates the converters and DACs only.
    for (std::string body : {"read,1", "read,2", "Read,4", "Read,5", "Read,6", "Read,7",
                             "write,1,4000", "WRITE,2,2000", "write,4,d", "at,50"})
        EXPECT_EQ(line.ask(body), "BackDoorLocked") << body;
    EXPECT_FALSE(line.device().dac(1) != 0 || line.device().updateDisabled() ||
                 line.device().autoTuning());
    // Memory works locked: export, import and the gas table editor never open the door.
    line.expect({"mr,1000", "0", "mw,9,-0.5", "MW,9,-0.5", "mr,9", "-0.5"});
    // Status and stop of an auto-tune are not service commands.
    EXPECT_EQ(line.ask("at,s").substr(0, 5), "ATSD,");

    line.expect(
        {"mw,1000,1", "BackDoorEnabled: Y", "mr,1000", "1", "write,1,4000", "write,1,4000"});
    EXPECT_EQ(line.device().dac(1), 4000);
    EXPECT_EQ(line.ask("write,4,d"), "DisableUpdate: D");
    EXPECT_TRUE(line.device().updateDisabled());
    // Closing the door hands the outputs back to the device.
    EXPECT_EQ(line.ask("MW,1000,0"), "BackDoorEnabled: N");
    EXPECT_FALSE(line.device().updateDisabled());
    EXPECT_EQ(line.ask("read,2"), "BackDoorLocked");
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
        EXPECT_EQ(avg.substr(0, 10), "SensorAvg:");
        EXPECT_EQ(avg[10], ' ');
        EXPECT_EQ(valueAt(avg, 12), line.device().sensorAverageCounts());
        EXPECT_EQ(valueAt(line.ask("Read,7"), 13), line.device().sensorCompensatedCounts());
        EXPECT_EQ(valueAt(line.ask("Read,5"), 12),
                  static_cast<int>(std::lround(sp / 100.0 * 4000.0)));
        EXPECT_EQ(valueAt(line.ask("Read,4"), 9), line.device().dac(0));
    }
    // At full scale the compensated reading lies in the window span setting accepts.
    int span = valueAt(line.ask("Read,7"), 13);
    EXPECT_GE(span, 2500);
    EXPECT_LE(span, 3650);
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

TEST(SimService, ValveDacDrivesTheFlowWhileUpdatingIsOff) {
    DeviceOptions o;
    o.noisePercent = 0.0;
    Line232 line(o);
    line.send({"mw,1000,1", "s,50"});
    int drive = valueAt(line.after(10.0, "Read,6"), 12);
    EXPECT_GT(drive, 0);
    line.ask("WRITE,4,D");
    EXPECT_EQ(line.ask("WRITE,2,0"), "WRITE,2,0");
    EXPECT_EQ(line.after(10.0, "f"), "0.000");
    EXPECT_EQ(valueAt(line.ask("Read,6"), 12), 0);
    line.ask("WRITE,2,4000");
    EXPECT_GT(number(line.after(10.0, "f")), 100.0); // past full scale: the valve is wide open
    // Back to the device's own control.
    line.ask("WRITE,4,N");
    EXPECT_EQ(line.after(10.0, "f"), "50.000");
    EXPECT_EQ(valueAt(line.ask("Read,6"), 12), drive);
    line.ask("v,c");
    EXPECT_EQ(valueAt(line.ask("Read,6"), 12), 0);
}

TEST(SimService, ZeroingReportsInProgressThenTheFormerState) {
    DeviceOptions o;
    o.zeroingSeconds = 4.0;
    o.noisePercent = 0.0;
    Line232 line(o);
    line.expect({"z,s", "ZE", "z,n", "ZN"});
    EXPECT_EQ(line.after(1.0, "z,s"), "ZNI");
    EXPECT_TRUE(line.device().zeroing());
    // Asking again does not prolong it.
    line.ask("z,n");
    EXPECT_EQ(line.after(2.5, "z,s"), "ZNI");
    EXPECT_EQ(line.after(1.0, "z,s"), "ZE");
    // With no flow the zeroed sensor reads the zero point.
    line.ask("mw,1000,1");
    EXPECT_EQ(valueAt(line.ask("read,2"), 12), 120);
    EXPECT_EQ(line.ask("mr,4"), std::to_string(line.device().dac(0)));

    line.send({"z,d", "z,n"});
    EXPECT_EQ(line.ask("z,s"), "ZNI");
    EXPECT_EQ(line.after(5.0, "z,s"), "ZD");
    // Zero store keeps the sensor zero DAC.
    line.ask("WRITE,0,1500");
    EXPECT_NE(line.ask("mr,4"), "1500");
    line.expect({"z,w", "ZW", "mr,4", "1500"});
}

TEST(SimService, AutoTuneReportsProgressThenFinalConstants) {
    DeviceOptions o;
    o.autoTuneSeconds = 8.0;
    Line232 line(o);
    const std::string before = line.ask("mr,110");
    line.ask("mw,1000,1");
    EXPECT_EQ(line.ask("at,50.00").substr(0, 2), "AT");
    EXPECT_TRUE(line.device().autoTuning());
    for (int i = 0; i < 7; ++i) {
        std::string status = line.after(1.0, "at,s");
        EXPECT_TRUE(std::regex_match(status, std::regex("ATSI(,-?[0-9]+(\\.[0-9]+)?){3}")))
            << status;
        EXPECT_EQ(line.ask("mr,110"), before); // not written until done
    }
    // Tuning holds the flow at its set point.
    EXPECT_NEAR(line.device().flowSlpm(), 50.0, 0.5);
    std::string done = line.after(1.5, "at,s");
    ASSERT_EQ(done.substr(0, 5), "ATSD,");
    EXPECT_EQ(done,
              "ATSD," + line.ask("mr,110") + "," + line.ask("mr,111") + "," + line.ask("mr,112"));
    EXPECT_NE(line.ask("mr,110"), before);
    EXPECT_FALSE(line.device().autoTuning());
    // The same seed and set point tune to the same constants.
    Line232 again(o);
    again.send({"mw,1000,1", "at,50"});
    EXPECT_EQ(again.after(10.0, "at,s"), done);
    // A stopped tune keeps the former constants.
    const std::string p = line.ask("mr,110");
    line.ask("at,40");
    EXPECT_EQ(line.after(2.0, "AT,STOP"), "ATSTOP");
    EXPECT_EQ(line.ask("at,s").substr(0, 5 + p.size()), "ATSD," + p);
    EXPECT_EQ(line.after(20.0, "mr,110"), p);
}

} // namespace
} // namespace kvt::sim::testing
