#include "SimTestLine.h"

#include <stdexcept>

namespace kvt::sim::testing {
namespace {

DeviceOptions at(std::string address) {
    DeviceOptions o;
    o.address = std::move(address);
    return o;
}

TEST(SimBus, Rs232FramesRepliesWithCrLfAndPrompt) {
    Bus bus(LineMode::Rs232, {});
    // LF is ignored wherever it appears; two lines in one write are both answered, in order; an
    // empty line is not a command.
    expectOnBus(bus, {"e\r", "100\r\n>", "e\r\n", "100\r\n>", "\nv,\ns\r", "VA\r\n>", "v,o\rv,s\r",
                      "VO\r\n>VO\r\n>", "\r", "", "\r\n\r", ""});
    // Partial commands wait for their carriage return.
    const auto logged = bus.commandLog().size();
    expectOnBus(bus, {"v,", "", "c", ""});
    expectOnBus(bus, {"\rv", "VC\r\n>", ",", "", "s", "", "\r", "VC\r\n>"});
    EXPECT_EQ(std::vector(bus.commandLog().begin() + logged, bus.commandLog().end()),
              (std::vector<std::string>{"v,c", "v,s"}));
}

TEST(SimBus, Rs232AnswersItsOwnAddressOnly) {
    Bus bus(LineMode::Rs232, {at("0a")});
    expectOnBus(bus,
                {"!0A,e\r", "100\r\n>", "!0a,v,c\r", "VC\r\n>", "!01,v,o\r", "", "!00,v,o\r", ""});
    EXPECT_EQ(bus.device(std::size_t{0}).valveMode(), ValveMode::Closed);
}

TEST(SimBus, Rs485OnlyTheAddressedDeviceAnswersWithItsHeader) {
    Bus bus(LineMode::Rs485, {at("01"), at("1a"), at("FF")});
    Device& d01 = *bus.device("01");
    Device& d1a = *bus.device("1A");
    expectOnBus(bus, {"!1A,v,o\r", "1A: VO\r\n", "!1a,v,s\r", "1A: VO\r\n", "!01,v,s\r",
                      "01: VA\r\n", "!ff,e\r", "FF: 100\r\n"});

    // Unaddressed lines, the global address, unknown addresses and broken prefixes: silence.
    const std::size_t seen01 = d01.commandsSeen().size();
    const std::size_t seen1a = d1a.commandsSeen().size();
    for (std::string line : {"f\r", "v,c\r", "!00,f\r", "!00,v,c\r", "!02,f\r", "!1B,v,c\r",
                             "!1A\r", "!1Av,c\r", "!1,v,c\r", "1A,v,c\r"})
        EXPECT_EQ(bus.receive(line, 0.0), "") << line;
    EXPECT_EQ(d01.commandsSeen().size(), seen01);
    EXPECT_EQ(d1a.commandsSeen().size(), seen1a);

    // An addressed line with an empty body reaches its device and gets the error reply.
    EXPECT_EQ(bus.receive("!1A,\r", 0.0), "1A: ?\r\n");
    EXPECT_EQ(bus.commandLog().back(), "!1A,");
}

TEST(SimBus, DevicesOfABusDifferByDefault) {
    DeviceOptions named = at("03");
    named.serialNumber = "SN-77";
    Bus bus(LineMode::Rs485, {at("01"), at("02"), named});
    EXPECT_NE(bus.device("01")->eeprom(1), bus.device("02")->eeprom(1));
    EXPECT_EQ(bus.device("02")->eeprom(3), "02");
    EXPECT_EQ(bus.receive("!03,mr,1\r", 0.0), "03: SN-77\r\n");
}

TEST(SimBus, OversizedLinesAreDroppedAndReported) {
    Bus bus(LineMode::Rs232, {});
    std::string junk(Bus::kMaxLineLength + 50, 'x');
    // Arriving in pieces, the line is still recognised as too long.
    EXPECT_EQ(bus.receive(junk.substr(0, 100), 0.0), "");
    EXPECT_EQ(bus.receive(junk.substr(100) + "\r", 0.0), "?\r\n>");
    EXPECT_EQ(bus.droppedLines(), 1u);
    EXPECT_TRUE(bus.commandLog().empty());
    // The next line is read from scratch.
    EXPECT_EQ(bus.receive("e\r", 0.0), "100\r\n>");
    // A line of exactly the limit is still a command.
    std::string longest = "mw,105," + std::string(Bus::kMaxLineLength - 7, 'a');
    EXPECT_EQ(bus.receive(longest + "\r", 0.0), "?\r\n>"); // too long for a cell, but read
    EXPECT_EQ(bus.droppedLines(), 1u);
    EXPECT_EQ(bus.commandLog().back(), longest);

    Bus rs485(LineMode::Rs485, {at("02")});
    expectOnBus(rs485, {"!02," + junk + "\r", "02: ?\r\n", "!03," + junk + "\r", "", junk + "\r",
                        "", "!02,e\r", "02: 100\r\n"});
    EXPECT_EQ(rs485.droppedLines(), 3u);
}

TEST(SimBus, ConstructionRefusesImpossibleLines) {
    EXPECT_THROW(Bus(LineMode::Rs232, {at("01"), at("02")}), std::invalid_argument);
    EXPECT_THROW(Bus(LineMode::Rs485, {at("1a"), at("1A")}), std::invalid_argument);
    for (std::string bad : {"00", "1G", "1", "123", "", "!1"})
        EXPECT_THROW(Bus(LineMode::Rs485, {at(bad)}), std::invalid_argument) << bad;
    // A zero full scale, an unknown unit, an instant auto-tune.
    DeviceOptions bad[3];
    bad[0].fullScaleSlpm = 0.0;
    bad[1].unitIndex = 10;
    bad[2].autoTuneSeconds = 0.0;
    for (const auto& o : bad)
        EXPECT_THROW(Bus(LineMode::Rs232, {o}), std::invalid_argument);

    Bus bus(LineMode::Rs485, {at("01")});
    EXPECT_EQ(bus.device("02"), nullptr);
    EXPECT_THROW(bus.device(std::size_t{1}), std::out_of_range);
    Bus empty(LineMode::Rs485, {});
    EXPECT_EQ(empty.receive("!01,f\r", 0.0), "");
}

} // namespace
} // namespace kvt::sim::testing
