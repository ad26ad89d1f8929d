#include "SimTestLine.h"

#include <vector>

namespace kvt::sim::testing {
namespace {

// Bodies in either case, as operators type them, get the tokens the terminal compares with.
TEST(SimVocabulary, EitherCaseGetsTheTerminalsToken) {
    Line232 line;
    line.expect({"G,07", "G7", "g,9", "G9", "R,1,L", "RL", "r,1,S", "RL", "R,2,h", "RH"});
    line.expect({"ud,2.5", "UUD", "U,ud", "UUD", "K,I,12", "KI12", "T,p,T,500,n", "TPT"});
    line.expect({"A,s", "N", "MW,1000,1", "BackDoorEnabled: Y", "Write,4,D", "DisableUpdate: D"});
    line.expect({"At,20.00", "AT20", "wRITE,1,4000", "wRITE,1,4000"});
    number(line.ask("F"));
    EXPECT_EQ(line.ask("READ,1").substr(0, 7), "ADCinp:");
    EXPECT_EQ(line.ask("read,7").substr(0, 12), "SensorComp: ");
}

TEST(SimVocabulary, UnknownAndMalformedBodiesGetAShortError) {
    // With the back door open, so that converter and DAC bodies are judged on their own.
    const std::string bad[] = {
        "x",          "f,1",         "ee",         "s",          "s,",
        "s,12.5.1",   "s,nan",       "s,1e999",    "s,0x10",     "s,5 5",
        "s,1,2",      "m",           "v,a,a",      "g,10",       "g,-1",
        "u,furlongs", "u,ud,0,S",    "u,ud,2,X",   "u,ud,2,S,1", "z",
        "a,h,101",    "t,s,f,101",   "t,p,t,-5,N", "t,p,t,5,X",  "r,3,n",
        "r,0,s",      "r,1",         "k,i,257",    "k,i,1.5",    "k,e,0",
        "mr,137",     "mr,-1",       "mr",         "mw,5",       "mw,137,1",
        "mw,1000,2",  "at,150",      "at",         "\x01\x02",   "\xff\xfe",
        ",",          "read,3",      "read,8",     "write,3,5",  "write,1,4096",
        "write,1,-1", "write,1,12a", "write,4,x",  "write,1",    std::string("f\0", 2)};
    for (const auto& body : bad) {
        Line232 line;
        line.ask("mw,1000,1");
        EXPECT_EQ(line.ask(body), "?") << "body '" << body << "'";
    }
}

TEST(SimVocabulary, RejectedCommandsChangeNothing) {
    Line232 line;
    line.send({"s,40", "g,4", "u,slph"});
    for (std::string body : {"s,abc", "g,10", "u,furlongs", "u,ud,0,S", "mw,5,", "mw,137,1"})
        EXPECT_EQ(line.ask(body), "?");
    line.expect({"v,s", "VA", "g,4", "G4", "mr,5", "0"});
    EXPECT_DOUBLE_EQ(line.device().setPointSlpm(), 40.0);
    EXPECT_EQ(line.device().unitIndex(), 2);
}

} // namespace
} // namespace kvt::sim::testing
