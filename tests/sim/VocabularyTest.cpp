#include "SimTestLine.h"

#include <cctype>
#include <vector>

namespace kvt::sim::testing {
namespace {

// Echo: the reply is the body as sent.
enum class Match { Exact, Prefix, Numeric, Echo };

// Bodies sent to a fresh device after `setup` (unless empty), with the reply each must give.
struct Group {
    std::string setup;
    Match match;
    std::vector<std::string> rows; // body, reply, body, reply ...
};

std::string swapCase(std::string s) {
    for (char& c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        c = static_cast<char>(std::islower(u) ? std::toupper(u) : std::tolower(u));
    }
    return s;
}

void check(const Group& g, const std::string& body, const std::string& expected) {
    Line232 line;
    if (!g.setup.empty())
        line.ask(g.setup);
    std::string reply = line.ask(body);
    if (g.match == Match::Numeric)
        number(reply);
    else if (g.match == Match::Echo)
        EXPECT_EQ(reply, body);
    else
        EXPECT_EQ(g.match == Match::Exact ? reply : reply.substr(0, expected.size()), expected)
            << "body " << body;
}

Group group(std::string setup, Match match, std::vector<std::string> rows) {
    return {std::move(setup), match, std::move(rows)};
}

const std::string kOpen = "mw,1000,1";

// Every body of the vocabulary and the reply the terminal compares it with. Each row also runs
// with its letters' case swapped: the device must take either case.
// clang-format off
const std::vector<Group> kVocabulary = {
    group("", Match::Numeric, {"f", "", "t,r", "", "c,r", ""}),
    group("", Match::Exact, {"e", "100", "m,s", "MD", "v,s", "VA", "z,s", "ZE", "a,s", "N",
        "r,1,s", "RN", "mr,100", "Nitrogen", "MR,100", "Nitrogen", "mr,1", "KV230001",
        "s,12.5000", "S12.500", "m,a", "MA", "m,d", "MD", "M,D", "MD", "v,a", "VA", "v,c", "VC",
        "v,o", "VO", "V,A", "VA", "V,C", "VC", "V,O", "VO", "g,0", "G0", "g,3", "G3", "g,9", "G9",
        "u,%", "U%", "u,lbph", "ULBPH", "u,lbpm", "ULBPM", "u,mlph", "UMLPH", "u,mlpm", "UMLPM",
        "u,scfh", "USCFH", "u,scfm", "USCFM", "u,slph", "USLPH", "u,slpm", "USLPM",
        "U,SLPM", "USLPM", "U,MLPH", "UMLPH", "U,LBPM", "ULBPM", "UD,2.5", "UUD",
        "u,ud,2.5,S", "UUD", "z,e", "ZE", "z,d", "ZD", "z,n", "ZN", "z,w", "ZW", "a,d", "AD",
        "t,s,n", "TSN", "t,p,n", "TPN", "t,d", "TD", "t,z", "TZ", "c,c", "CC", "r,1,n", "RN",
        "r,1,t", "RT", "r,2,h", "RH", "r,1,l", "RL", "r,2,r", "RR", "k,d", "KD",
        "mw,1000,1", "BackDoorEnabled: Y", "mw,113,120", "MW,113,120",
        "MW,8,0.000500", "MW,8,0.000500", "s,12.5", "S12.500", "k,e,0.75", "KE0.75", "k,i,12", "KI12",
        "a,h,10", "AH10", "a,l,2.5", "AL2.5", "g,07", "G7"}),
    group("m,a", Match::Exact, {"m,s", "MA"}),
    group("v,o", Match::Exact, {"v,s", "VO"}),
    group("v,c", Match::Exact, {"v,s", "VC"}),
    group("z,d", Match::Exact, {"z,s", "ZD"}),
    group("r,2,h", Match::Exact, {"r,2,s", "RH"}),
    group("g,2", Match::Exact, {"MR,100", "Argon"}),
    group("", Match::Prefix, {"s,12.500", "S", "s,0.0", "S", "M,A", "M", "U,%", "U", "u,UD", "U",
        "a,h,10", "AH", "a,l,5", "AL", "t,s,f,10", "TS", "t,s,f,-0.1", "TS", "t,p,t,500,N", "TPT",
        "t,p,t,500,C", "TPT", "r,1,T", "R", "k,e,0.75", "KE", "k,i,12", "KI", "k,i,256", "KI",
        "at,s", "ATSD,"}),
    group("mw,1000,1", Match::Exact, {"mw,1000,0", "BackDoorEnabled: N"}),
    group(kOpen, Match::Prefix, {"at,20.00", "AT", "AT,STOP", "AT", "read,1", "ADCinp:",
        "read,2", "SensorAvg: ", "Read,4", "ZeroDAC:", "Read,5", "AnalogOut: ",
        "Read,6", "ValveOut:  ", "Read,7", "SensorComp: "}),
    group(kOpen, Match::Exact, {"write,4,d", "DisableUpdate: D", "write,4,n", "DisableUpdate: N",
        "WRITE,4,D", "DisableUpdate: D", "WRITE,4,N", "DisableUpdate: N", "at,20.00", "AT20"}),
    group(kOpen, Match::Echo, {"write,1,4000", "", "WRITE,2,2000", "", "write,0,0", "",
        "WRITE,0,4095", ""}),
};
// clang-format on

TEST(SimVocabulary, EveryBodyGetsItsTokenInEitherCase) {
    for (const auto& g : kVocabulary)
        for (std::size_t i = 0; i + 1 < g.rows.size(); i += 2) {
            SCOPED_TRACE(g.rows[i]);
            check(g, g.rows[i], g.rows[i + 1]);
            check(g, swapCase(g.rows[i]), g.rows[i + 1]);
        }
}

TEST(SimVocabulary, UnknownAndMalformedBodiesGetAShortError) {
    std::vector<std::string> bad = {
        "x",         "f,1",       "ee",         "s",       "s,",         "s,abc",      "s,12.5.1",
        "s,inf",     "s,nan",     "s,1e999",    "s,1,2",   "m,x",        "m",          "v,x",
        "v,a,a",     "g,10",      "g,-1",       "g,x",     "u,furlongs", "u,",         "u,ud,0,S",
        "u,ud,-2,S", "u,ud,2,X",  "u,ud,2,S,1", "ud,abc",  "z,q",        "z",          "a,h,abc",
        "a,h,101",   "a,x",       "t,s,f,101",  "t,s,f,x", "t,p,t,5,X",  "t,p,t,-5,N", "t,x",
        "t,s,x",     "r,3,n",     "r,0,s",      "r,1,x",   "r,1",        "k,i,257",    "k,i,-1",
        "k,i,1.5",   "k,e,0",     "k,e,-1",     "k,x",     "c,x",        "mr,137",     "mr,-1",
        "mr,abc",    "mr",        "mw,5",       "mw,x,1",  "mw,137,1",   "mw,-1,1",    "mw,5,",
        "mw,5,   ",  "mw,1000,2", "at,150",     "at,abc",  "at",         "\x01\x02",   "\xff\xfe",
        ",,,",       ","};
    // Converter and DAC bodies that do not exist, with the back door open.
    for (std::string body : {"read,3", "read,0", "read,8", "read,x", "write,3,5", "write,1,4096",
                             "write,1,-1", "write,1,12a", "write,4,x", "write,1"})
        bad.push_back(body);
    bad.push_back(std::string("f\0", 2));
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
