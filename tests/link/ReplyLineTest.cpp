#include "link/CommandLine.h"
#include "link/ReplyAssembler.h"
#include "link/Vocabulary.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

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
    // Chunks fed in turn to one assembler, whether the line is RS-232, and the line each gives.
    // The prompt goes only in RS-232; what follows the line feed in its chunk joins the line; a
    // chunk without a line feed clears the completion mark of the one before.
    const std::tuple<const char*, bool, std::optional<std::string>> rows[] = {
        {">VO\r\n", true, "VO"},     {"V>O\r\n", true, "VO"},
        {">VO\r\n", false, ">VO"},   {"V", true, {}},
        {"O\r", true, {}},           {"\n", true, "VO"},
        {"VO\r\nXY", true, "VOXY"},  {"\n", true, ""},
        {"A\rB\r\r\n", false, "AB"}, {"Z", true, {}}};
    ReplyAssembler a;
    for (const auto& [chunk, rs232, line] : rows) {
        EXPECT_EQ(a.feed(chunk, rs232), line) << chunk;
        EXPECT_EQ(a.lineComplete(), line.has_value()) << chunk;
    }
    EXPECT_EQ(a.pending(), "Z");
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
    // The plain bodies are asserted on the wire by the device command tests.
    // clang-format off
    const std::pair<std::string, std::string> rows[] = {
        {token::relay('h'), "RH"}, {token::relay('R'), "RR"}, {token::unit("slpm"), "USLPM"},
        {cmd::totalizerStopTotal("500", 0), "t,p,t,500,N"}, {token::unit("%"), "U%"},
        {cmd::totalizerStopTotal("500", -1), "t,p,t,500,C"}, {token::gasTable(0), "G0"}};
    // clang-format on
    for (const auto& [made, expected] : rows)
        EXPECT_EQ(made, expected);
}
