#include "SimTestLine.h"

#include <cctype>
#include <vector>

namespace kvt::sim::testing {
namespace {

enum class Match { Exact, Prefix, Numeric };

struct Row {
    std::string setup; // a body sent first to the fresh device, or ""
    std::string body;
    std::string expected;
    Match match;
};

std::string swapCase(std::string s) {
    for (char& c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        c = static_cast<char>(std::islower(u) ? std::toupper(u) : std::tolower(u));
    }
    return s;
}

void check(const Row& row, const std::string& body) {
    Line232 line;
    if (!row.setup.empty())
        line.ask(row.setup);
    std::string reply = line.ask(body);
    switch (row.match) {
    case Match::Exact:
        EXPECT_EQ(reply, row.expected) << "body " << body;
        break;
    case Match::Prefix:
        EXPECT_EQ(reply.substr(0, row.expected.size()), row.expected) << "body " << body;
        break;
    case Match::Numeric:
        number(reply);
        break;
    }
}

const std::string kOpen = "mw,1000,1";

// Every body of the vocabulary and the reply the terminal compares it with. Each row also runs
// with its letters' case swapped: the device must take either case.
const std::vector<Row> kVocabulary = {
    {"", "f", "", Match::Numeric},
    {"", "e", "100", Match::Exact},
    {"", "m,s", "MD", Match::Exact},
    {"m,a", "m,s", "MA", Match::Exact},
    {"", "v,s", "VA", Match::Exact},
    {"v,o", "v,s", "VO", Match::Exact},
    {"v,c", "v,s", "VC", Match::Exact},
    {"", "z,s", "ZE", Match::Exact},
    {"z,d", "z,s", "ZD", Match::Exact},
    {"", "a,s", "N", Match::Exact},
    {"", "t,r", "", Match::Numeric},
    {"", "r,1,s", "RN", Match::Exact},
    {"r,2,h", "r,2,s", "RH", Match::Exact},
    {"", "c,r", "", Match::Numeric},
    {"", "mr,100", "Nitrogen", Match::Exact},
    {"", "MR,100", "Nitrogen", Match::Exact},
    {"", "mr,1", "KV230001", Match::Exact},
    {"g,2", "MR,100", "Argon", Match::Exact},
    {"", "s,12.500", "S", Match::Prefix},
    {"", "s,12.5000", "S12.500", Match::Exact},
    {"", "s,0.0", "S", Match::Prefix},
    {"", "m,a", "MA", Match::Exact},
    {"", "m,d", "MD", Match::Exact},
    {"", "M,A", "M", Match::Prefix},
    {"", "M,D", "MD", Match::Exact},
    {"", "v,a", "VA", Match::Exact},
    {"", "v,c", "VC", Match::Exact},
    {"", "v,o", "VO", Match::Exact},
    {"", "V,A", "VA", Match::Exact},
    {"", "V,C", "VC", Match::Exact},
    {"", "V,O", "VO", Match::Exact},
    {"", "g,0", "G0", Match::Exact},
    {"", "g,3", "G3", Match::Exact},
    {"", "g,9", "G9", Match::Exact},
    {"", "u,%", "U%", Match::Exact},
    {"", "u,lbph", "ULBPH", Match::Exact},
    {"", "u,lbpm", "ULBPM", Match::Exact},
    {"", "u,mlph", "UMLPH", Match::Exact},
    {"", "u,mlpm", "UMLPM", Match::Exact},
    {"", "u,scfh", "USCFH", Match::Exact},
    {"", "u,scfm", "USCFM", Match::Exact},
    {"", "u,slph", "USLPH", Match::Exact},
    {"", "u,slpm", "USLPM", Match::Exact},
    {"", "U,%", "U", Match::Prefix},
    {"", "U,SLPM", "USLPM", Match::Exact},
    {"", "U,MLPH", "UMLPH", Match::Exact},
    {"", "U,LBPM", "ULBPM", Match::Exact},
    {"", "u,UD", "U", Match::Prefix},
    {"", "UD,2.5", "UUD", Match::Exact},
    {"", "u,ud,2.5,S", "UUD", Match::Exact},
    {"", "z,e", "ZE", Match::Exact},
    {"", "z,d", "ZD", Match::Exact},
    {"", "z,n", "ZN", Match::Exact},
    {"", "z,w", "ZW", Match::Exact},
    {"", "a,h,10", "AH", Match::Prefix},
    {"", "a,l,5", "AL", Match::Prefix},
    {"", "a,d", "AD", Match::Exact},
    {"", "t,s,f,10", "TS", Match::Prefix},
    {"", "t,s,n", "TSN", Match::Exact},
    {"", "t,s,f,-0.1", "TS", Match::Prefix},
    {"", "t,p,t,500,N", "TPT", Match::Prefix},
    {"", "t,p,t,500,C", "TPT", Match::Prefix},
    {"", "t,p,n", "TPN", Match::Exact},
    {"", "t,d", "TD", Match::Exact},
    {"", "t,z", "TZ", Match::Exact},
    {"", "c,c", "CC", Match::Exact},
    {"", "r,1,n", "RN", Match::Exact},
    {"", "r,1,t", "RT", Match::Exact},
    {"", "r,2,h", "RH", Match::Exact},
    {"", "r,1,l", "RL", Match::Exact},
    {"", "r,2,r", "RR", Match::Exact},
    {"", "r,1,T", "R", Match::Prefix},
    {"", "k,d", "KD", Match::Exact},
    {"", "k,e,0.75", "KE", Match::Prefix},
    {"", "k,i,12", "KI", Match::Prefix},
    {"", "k,i,256", "KI", Match::Prefix},
    {"", "mw,1000,1", "BackDoorEnabled: Y", Match::Exact},
    {"mw,1000,1", "mw,1000,0", "BackDoorEnabled: N", Match::Exact},
    {"", "mw,113,120", "MW,113,120", Match::Exact},
    {"", "MW,8,0.000500", "MW,8,0.000500", Match::Exact},
    {"", "at,s", "ATSD,", Match::Prefix},
    {kOpen, "at,20.00", "AT", Match::Prefix},
    {kOpen, "AT,STOP", "AT", Match::Prefix},
    {kOpen, "write,4,d", "DisableUpdate: D", Match::Exact},
    {kOpen, "write,4,n", "DisableUpdate: N", Match::Exact},
    {kOpen, "WRITE,4,D", "DisableUpdate: D", Match::Exact},
    {kOpen, "WRITE,4,N", "DisableUpdate: N", Match::Exact},
    {kOpen, "read,1", "ADCinp:", Match::Prefix},
    {kOpen, "read,2", "SensorAvg: ", Match::Prefix},
    {kOpen, "Read,4", "ZeroDAC:", Match::Prefix},
    {kOpen, "Read,5", "AnalogOut: ", Match::Prefix},
    {kOpen, "Read,6", "ValveOut:  ", Match::Prefix},
    {kOpen, "Read,7", "SensorComp: ", Match::Prefix},
};

TEST(SimVocabulary, EveryBodyGetsItsTokenInEitherCase) {
    for (const auto& row : kVocabulary) {
        SCOPED_TRACE(row.body);
        check(row, row.body);
        check(row, swapCase(row.body));
    }
}

TEST(SimVocabulary, DacWritesEchoTheBodyAsSent) {
    for (std::string body : {"write,1,4000", "WRITE,2,2000", "write,0,0", "WRITE,0,4095"}) {
        Line232 line;
        line.ask("mw,1000,1");
        EXPECT_EQ(line.ask(body), body);
    }
}

TEST(SimVocabulary, ValuedEchoesCarryTheValue) {
    Line232 line;
    EXPECT_EQ(line.ask("s,12.5"), "S12.500");
    EXPECT_EQ(line.ask("k,e,0.75"), "KE0.75");
    EXPECT_EQ(line.ask("k,i,12"), "KI12");
    EXPECT_EQ(line.ask("a,h,10"), "AH10");
    EXPECT_EQ(line.ask("a,l,2.5"), "AL2.5");
    EXPECT_EQ(line.ask("g,07"), "G7");
    EXPECT_EQ(line.ask("mw,1000,1"), "BackDoorEnabled: Y");
    EXPECT_EQ(line.ask("at,20.00"), "AT20");
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
    bad.push_back(std::string("f\0", 2));
    for (const auto& body : bad) {
        Line232 line;
        line.ask("mw,1000,1");
        EXPECT_EQ(line.ask(body), "?") << "body '" << body << "'";
    }
    Line232 open;
    open.ask("mw,1000,1");
    for (std::string body : {"read,3", "read,0", "read,8", "read,x", "write,3,5", "write,1,4096",
                             "write,1,-1", "write,1,12a", "write,4,x", "write,1"})
        EXPECT_EQ(open.ask(body), "?") << "body '" << body << "'";
}

TEST(SimVocabulary, RejectedCommandsChangeNothing) {
    Line232 line;
    line.ask("s,40");
    line.ask("g,4");
    line.ask("u,slph");
    for (std::string body : {"s,abc", "g,10", "u,furlongs", "u,ud,0,S", "mw,5,", "mw,137,1"})
        EXPECT_EQ(line.ask(body), "?");
    EXPECT_DOUBLE_EQ(line.device().setPointSlpm(), 40.0);
    EXPECT_EQ(line.device().gasTable(), 4);
    EXPECT_EQ(line.device().unitIndex(), 2);
    EXPECT_EQ(line.ask("mr,5"), "0");
}

} // namespace
} // namespace kvt::sim::testing
