#include "sim/Wire.h"
#include "sim/Bus.h"
#include "sim/DevsimOptions.h"
#include "sim/Text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kvt::sim {
namespace {

TEST(SimWire, RepliesStartAfterTheCommandArrivedAndTakeTheirWireTime) {
    LinePacer pacer(9600, 0.005);
    const double c = 10.0 / 9600.0;
    // "e" CR read at t = 1: the CR is in after two character times.
    std::vector<double> in = pacer.arrive(2, 1.0);
    ASSERT_EQ(in.size(), 2u);
    EXPECT_DOUBLE_EQ(in[1], 1.0 + 2 * c);
    // Bytes read while earlier ones are still "on the wire" queue behind them.
    std::vector<double> more = pacer.arrive(1, 1.0);
    EXPECT_DOUBLE_EQ(more[0], 1.0 + 3 * c);

    pacer.queue("100\r\n>", in[1]);
    const double start = in[1] + 0.005;
    EXPECT_DOUBLE_EQ(*pacer.nextDue(), start + c);
    EXPECT_EQ(pacer.takeDue(start), "");
    EXPECT_EQ(pacer.takeDue(start + 3.5 * c), "100");
    // A second reply queued now goes out after the first, not over it.
    pacer.queue("VA\r\n>", in[1]);
    EXPECT_EQ(pacer.takeDue(start + 6 * c), "\r\n>");
    EXPECT_EQ(pacer.takeDue(start + 8 * c), "VA");
    EXPECT_EQ(pacer.takeDue(start + 100 * c), "\r\n>");
    EXPECT_FALSE(pacer.nextDue().has_value());

    EXPECT_THROW(LinePacer(0, 0.0), std::invalid_argument);
}

TEST(SimWire, GarbageKeepsLineBoundaries) {
    Garbler never(0.0, 1);
    Garbler always(100.0, 1);
    const std::string framed = "01: 12.345\r\n";
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(never.apply(framed), framed);
        std::string g = always.apply(framed);
        EXPECT_GT(g.size(), framed.size());
        EXPECT_EQ(g.substr(g.size() - 2), "\r\n");
        EXPECT_EQ(std::count(g.begin(), g.end(), '\n'), 1);
        EXPECT_EQ(std::count(g.begin(), g.end(), '\r'), 1);
    }
    Garbler prompt(100.0, 3);
    std::string g = prompt.apply("VA\r\n>");
    EXPECT_EQ(std::count(g.begin(), g.end(), '>'), 1);
    EXPECT_EQ(g.back(), '>');

    // Roughly the share asked for, and the same bytes for the same seed.
    Garbler a(30.0, 9), b(30.0, 9);
    int changed = 0;
    for (int i = 0; i < 1000; ++i) {
        std::string x = a.apply(framed);
        EXPECT_EQ(x, b.apply(framed));
        changed += x != framed;
    }
    EXPECT_GT(changed, 220);
    EXPECT_LT(changed, 380);
    EXPECT_EQ(a.garbled(), static_cast<std::size_t>(changed));
}

TEST(SimDevsimOptions, ParsesEveryOption) {
    auto p = parseDevsimArguments({});
    ASSERT_TRUE(p.options);
    EXPECT_EQ(p.options->mode, LineMode::Rs232);
    EXPECT_EQ(p.options->addresses, std::vector<std::string>{"01"});
    EXPECT_EQ(p.options->baud, 9600);

    p = parseDevsimArguments({"--rs485", "01,1a,FF", "--baud=19200", "--link", "/tmp/x", "--delay",
                              "12.5", "--silent", "--noise=5", "--seed", "42", "--full-scale",
                              "250", "--verbose", "--stream"});
    ASSERT_TRUE(p.options) << p.error;
    const DevsimOptions& o = *p.options;
    EXPECT_EQ(o.mode, LineMode::Rs485);
    EXPECT_EQ(o.addresses, (std::vector<std::string>{"01", "1A", "FF"}));
    EXPECT_EQ(o.link, "/tmp/x");
    EXPECT_EQ(std::vector<double>(
                  {double(o.baud), o.delayMs, o.noisePercent, double(o.seed), o.fullScaleSlpm}),
              std::vector<double>({19200, 12.5, 5.0, 42, 250.0}));
    EXPECT_TRUE(o.silent && o.verbose && o.stream);

    // The devices it makes differ from one another and carry the options.
    Bus bus(o.mode, deviceOptionsFor(o));
    EXPECT_EQ(bus.deviceCount(), 3u);
    EXPECT_NE(bus.device("01")->options().seed, bus.device("FF")->options().seed);
    EXPECT_EQ(bus.receive("!FF,e\r", 0.0), "FF: 250\r\n");

    p = parseDevsimArguments({"--address", "2b"});
    ASSERT_TRUE(p.options);
    EXPECT_EQ(p.options->addresses, std::vector<std::string>{"2B"});
    EXPECT_TRUE(parseDevsimArguments({"--help"}).options->help);
}

TEST(SimDevsimOptions, RefusesBadInputWithAReason) {
    // clang-format off
    const std::vector<std::vector<std::string>> bad = {
        {"--rs485", "00"}, {"--rs485", "01,01"}, {"--rs485", "1G"}, {"--rs485", ""}, {"--rs485"},
        {"--address", "01,02"}, {"--rs485", "01", "--address", "02"}, {"--baud", "0"},
        {"--baud", "9600x"}, {"--delay", "-1"}, {"--noise", "101"}, {"--noise", "abc"},
        {"--seed", "-3"}, {"--full-scale", "0"}, {"--link", ""}, {"--silent=yes"}, {"--stream=1"},
        {"--bogus"}, {"extra"}};
    // clang-format on
    for (const auto& args : bad) {
        auto p = parseDevsimArguments(args);
        EXPECT_FALSE(p.options) << args[0];
        EXPECT_FALSE(p.error.empty()) << args[0];
    }
    std::string usage = devsimUsage();
    for (std::string option : {"--rs485", "--address", "--baud", "--link", "--delay", "--silent",
                               "--noise", "--seed", "--full-scale", "--stream", "--help"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

TEST(SimText, NumbersIgnoreTheHostLocale) {
    EXPECT_EQ(text::fixed(12.5, 3) + " " + text::fixed(-0.0001, 3) + " " + text::fixed(-1.5, 1),
              "12.500 0.000 -1.5");
    for (auto [t, v] : {std::pair{" +2.5 ", 2.5}, std::pair{".5", 0.5}, std::pair{"1e3", 1000.0}})
        EXPECT_EQ(text::parseNumber(t), v) << t;
    EXPECT_EQ(text::leadingNumber("-0.5abc"), -0.5);
    EXPECT_EQ(text::leadingNumber("Nitrogen"), 0.0);
}

} // namespace
} // namespace kvt::sim
