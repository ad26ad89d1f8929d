#include "SimTestLine.h"

#include <string>

namespace kvt::sim::testing {
namespace {

TEST(SimFaults, ScriptedPerCommandAndCounted) {
    Line232 line;
    Device& d = line.device();
    line.ask("mw,1000,1");
    d.scriptFault("write,4", Fault::silence(1));
    d.scriptFault("MW,8,", Fault::normalisedEcho());
    d.scriptFault("read,1", Fault::wrong("ADCinp:", 2));
    d.scriptFault("z,s", Fault::late(2.5, 1));

    // Silence: the command still runs, but nothing goes out, and only once.
    EXPECT_EQ(line.bus.receive("write,4,d\r", 0.0), "");
    EXPECT_TRUE(d.updateDisabled());
    EXPECT_EQ(line.ask("write,4,n"), "DisableUpdate: N");

    EXPECT_EQ(line.ask("MW,8,0.000500"), "MW,8,0.0005");
    EXPECT_EQ(d.eeprom(8), "0.000500");                      // stored as sent
    EXPECT_EQ(line.ask("MW,9,-0.500000"), "MW,9,-0.500000"); // another prefix: untouched

    line.expect({"read,1", "ADCinp:", "read,1", "ADCinp:"});
    EXPECT_NE(line.ask("read,1"), "ADCinp:");

    line.ask("z,s");
    EXPECT_EQ(line.bus.replyDelay(), 2.5);
    line.ask("z,s");
    EXPECT_EQ(line.bus.replyDelay(), 0.0);

    d.clearFaults();
    EXPECT_EQ(line.ask("MW,8,0.000500"), "MW,8,0.000500");
}

} // namespace
} // namespace kvt::sim::testing
