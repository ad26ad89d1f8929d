#include "service/EepromFile.h"

#include <gtest/gtest.h>

using namespace kvt::service;

namespace {

// A table as a device would give it: variable n holds "v" + n.
EepromTable sample() {
    EepromTable t;
    for (int e = 0; e < kEepromEntries; ++e)
        t[static_cast<std::size_t>(e)] =
            makeEntry(entryVariable(e), "v" + std::to_string(entryVariable(e)));
    return t;
}

std::string lineOf(const std::string& index, const std::string& value) {
    return "\"" + index + "\",\"" + value + "\"\r\n";
}

// The sample's bytes with line `n` (0-based) replaced by `text` (no line end).
std::string withLine(std::size_t n, const std::string& text) {
    std::string bytes = eprBytes(sample());
    std::size_t at = 0;
    for (std::size_t i = 0; i < n; ++i)
        at = bytes.find("\r\n", at) + 2;
    auto end = bytes.find("\r\n", at);
    return bytes.replace(at, end - at, text);
}

} // namespace

TEST(EepromFile, LineFormatAndRoundTrip) {
    EepromTable t = sample();
    t[1] = makeEntry(1, "SN 0042  ");
    t[70] = makeEntry(106, std::string(40, 'L'));
    t[71] = makeEntry(107, "caf\xE9"); // one byte per character both ways
    std::string bytes = eprBytes(t);
    EXPECT_EQ(bytes.substr(0, lineOf("0  ", "").size() + 30),
              lineOf("0  ", "v0" + std::string(28, ' ')));
    // Longer values are kept whole; the empty reply is 30 blanks.
    EXPECT_EQ(valueField(std::string(35, 'x')), std::string(35, 'x'));
    EXPECT_EQ(valueField(""), std::string(30, ' '));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 99);
    auto r = parseEpr(bytes);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.table, t);
}

TEST(EepromFile, TolerableForms) {
    std::string crlf = eprBytes(sample());
    std::string lf;
    for (char c : crlf)
        if (c != '\r')
            lf += c;
    for (const auto& bytes : {lf, "\xEF\xBB\xBF" + crlf, crlf.substr(0, crlf.size() - 2)}) {
        auto r = parseEpr(bytes);
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(r.table, sample());
    }
}

TEST(EepromFile, Refusals) {
    const std::string full = eprBytes(sample());
    const std::string form = " of the file is not of the form \"index\",\"value\".";
    const std::pair<std::string, std::string> cases[] = {
        {"", "The file holds 0 lines; an EEPROM table has exactly 99."},
        {full.substr(0, full.rfind("\"134")),
         "The file holds 98 lines; an EEPROM table has exactly 99."},
        {full + lineOf("135", "x"), "The file holds 100 lines; an EEPROM table has exactly 99. "
                                    "Line 100 of the file is one too many."},
        {withLine(3, "\"3  \""), "Line 4" + form}, // one field
        {withLine(10, "\"10 \",\"x\" junk"), "Line 11" + form},
        {withLine(0, "\"0  \",\"a\"b\""), "Line 1" + form}, // a quote inside the value
        {withLine(98, "\"134\",\"1\t2\""), "Line 99 of the file holds a control character."},
        {withLine(50, ""), "Line 51" + form},
    };
    for (const auto& [bytes, error] : cases) {
        auto r = parseEpr(bytes);
        EXPECT_EQ(r.error, error);
        EXPECT_EQ(r.table, EepromTable{}) << error; // nothing half read is offered
    }
}

TEST(EepromFile, QuoteInAValueCannotBeSaved) {
    EepromTable t = sample();
    EXPECT_EQ(unsavableReason(t), "");
    t[65] = makeEntry(101, "5\"");
    EXPECT_EQ(unsavableReason(t), "The value of variable 101 holds a quotation mark; such a table "
                                  "would not read back and is not saved.");
}

TEST(EepromFile, ProposedName) {
    const std::pair<std::string, std::string> cases[] = {{"  SN1234    ", "/d/SN1234.epr"},
                                                         {"A/B:C*?<>|\"\\", "/d/A_B_C_______.epr"},
                                                         {"      ", "/d"},
                                                         {"..", "/d"}};
    for (const auto& [serial, name] : cases)
        EXPECT_EQ(proposedFileName("/d", serial), name) << serial;
}

TEST(EepromFile, ScreenLayout) {
    std::string s = screenText(sample());
    EXPECT_EQ(s.substr(0, 29), "[Gas Independent Variables]\r\r");
    auto dep = s.find("[Gas Dependent Variables]\r\r100");
    ASSERT_NE(dep, std::string::npos);
    EXPECT_EQ(std::count(s.begin(), s.begin() + static_cast<long>(dep), '\r'), 2 + 64);
    EXPECT_NE(s.find("5  " + std::string(10, ' ') + "v5"), std::string::npos);
}

TEST(EepromFile, CompareListsDifferencesWithBlanksVisible) {
    EepromTable a = sample(), b = sample();
    b[3].value = a[3].value + " "; // one more trailing blank
    b[98] = makeEntry(134, "0.9");
    auto d = compareTables(a, b);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(std::pair(d[0].variable, d[1].variable), std::pair(3, 134));
    EXPECT_EQ(compareTables(a, b, true).size(), 99u);
    std::string report = compareReport("left.epr", "device", d);
    EXPECT_NE(report.find("3    [" + a[3].value + "]  [" + b[3].value + "]\r\n"),
              std::string::npos);
    EXPECT_NE(report.find("2 variable(s) listed.\r\n"), std::string::npos);
}
