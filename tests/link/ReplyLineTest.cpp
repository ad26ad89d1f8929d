#include "link/CommandLine.h"
#include "link/ReplyAssembler.h"
#include "link/Vocabulary.h"

#include <gtest/gtest.h>

using namespace kvt::link;

TEST(ReplyText, HeaderOnlyInRs485) {
    // Any four characters are the header.
    const std::pair<const char*, const char*> rows[] = {
        {"1A: VO", "VO"}, {"x>y!!VO", "!VO"}, {"abc", ""}, {"abcd", ""}, {"", ""}};
    for (auto [line, text] : rows)
        EXPECT_EQ(replyText(false, line), text) << line;
    EXPECT_EQ(replyText(true, "1A: VO"), "1A: VO");
}

TEST(ReplyMatching, ExactAndLeading) {
    EXPECT_TRUE(matchesExact("VO", "VO"));
    EXPECT_FALSE(matchesExact("vo", "VO"));
    EXPECT_FALSE(matchesExact("VOX", "VO"));
    EXPECT_TRUE(matchesLeading("S12.500", "S"));
    EXPECT_TRUE(matchesLeading("TPT", "TPT"));
    EXPECT_FALSE(matchesLeading("TP", "TPT"));
    EXPECT_FALSE(matchesLeading("", "S"));
}

TEST(ReplyAssembler, LinesEndWithTheChunkThatBringsTheLineFeed) {
    ReplyAssembler a;
    // The prompt goes only in RS-232.
    EXPECT_EQ(a.feed(">VO\r\n", true), "VO");
    EXPECT_EQ(a.feed("V>O\r\n", true), "VO");
    EXPECT_EQ(a.feed(">VO\r\n", false), ">VO");
    // Pieces make one line when the line feed comes.
    EXPECT_FALSE(a.feed("V", true) || a.lineComplete());
    EXPECT_FALSE(a.feed("O\r", true));
    EXPECT_EQ(a.feed("\n", true), "VO");
    EXPECT_TRUE(a.lineComplete());
    EXPECT_EQ(a.pending(), "");
    // What follows the line feed in the same chunk joins the same line.
    EXPECT_EQ(a.feed("VO\r\nXY", true), "VOXY");
    // A line feed alone completes an empty line.
    EXPECT_EQ(a.feed("\n", true), "");
    // Carriage returns anywhere are dropped.
    EXPECT_EQ(a.feed("A\rB\r\r\n", false), "AB");
    // A chunk without a line feed clears the completion mark of the previous one.
    a.feed("Z", true);
    EXPECT_FALSE(a.lineComplete());
}

TEST(ReplyAssembler, EndlessLineIsCut) {
    ReplyAssembler a;
    std::string noise(3000, 'x');
    for (int i = 0; i < 10; ++i)
        a.feed(noise, true);
    EXPECT_LE(a.pending().size(), ReplyAssembler::kMaxPendingLine);
    auto line = a.feed("END\n", true);
    ASSERT_TRUE(line);
    EXPECT_LE(line->size(), ReplyAssembler::kMaxPendingLine);
    EXPECT_EQ(line->substr(line->size() - 3), "END");
}

TEST(Vocabulary, ParameterisedBodiesAndTokens) {
    // clang-format off
    const std::pair<std::string, std::string> rows[] = {
        {cmd::relayStatus(2), "r,2,s"}, {cmd::relayAssign(1, 'h'), "r,1,h"},
        {token::relay('h'), "RH"}, {token::relay('R'), "RR"},
        {cmd::totalizerStopTotal("500", 0), "t,p,t,500,N"},
        {cmd::totalizerStopTotal("500", 1), "t,p,t,500,C"},
        {cmd::totalizerStopTotal("500", -1), "t,p,t,500,C"}, {token::unit("slpm"), "USLPM"},
        {token::unit("%"), "U%"}, {cmd::userUnit("0.5"), "u,ud,0.5,S"}, {cmd::gasTable(0), "g,0"},
        {token::gasTable(0), "G0"}};
    // clang-format on
    for (const auto& [made, expected] : rows)
        EXPECT_EQ(made, expected);
}
