#include "monitor/CsvExport.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include <clocale>
#include <cmath>
#include <limits>

namespace kvt::monitor {
namespace {

std::string_view unitName(int u) {
    return u == 1 ? "SCCM" : "SLM";
}

struct CsvExportTest : ::testing::Test {
    TrendHistory h;
    test::TempFolder folder;
    // 2026-03-01 12:00:00.250 local.
    const double t0 = localSeconds(2026, 3, 1, 12 * 3600.0 + 0.25);
    const std::string header = "Time,Device,Address,Name,Flow,Set Point,Unit\r\n";
};

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"Line 1", "Line 1"},
        {"N2, main", "\"N2, main\""},
        {"6\" pipe", "\"6\"\" pipe\""},
        {"a\r\nb", "\"a\r\nb\""},
        {"", ""},
        {"\"", "\"\"\"\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvField(c.in), c.out) << c.in;
}

TEST(CsvTime, IsoLocalWithMilliseconds) {
    struct Case {
        double seconds;
        const char* text;
    };
    const Case cases[] = {
        {localSeconds(2026, 12, 6, 14 * 3600 + 52 * 60 + 40.123), "2026-12-06T14:52:40.123"},
        {localSeconds(2024, 2, 29, 0.0), "2024-02-29T00:00:00.000"},
        {localSeconds(2025, 12, 31, 86399.9996), "2026-01-01T00:00:00.000"}, // rounds up whole
        {0.0, "1970-01-01T00:00:00.000"},
        {-0.001, "1969-12-31T23:59:59.999"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isoLocalTime(c.seconds), c.text);
}

TEST(CsvNumberText, DecimalPointWhateverTheLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(csvNumber(12.5F), "12.5");
    EXPECT_EQ(csvNumber(0.1F), "0.1");
    EXPECT_EQ(csvNumber(-100.25F), "-100.25");
    EXPECT_EQ(csvNumber(-0.0F), "0");
    EXPECT_EQ(csvNumber(std::numeric_limits<float>::quiet_NaN()), "");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST_F(CsvExportTest, TextExactlyWithGapAndAwkwardName) {
    auto a = h.device({"1", "0A", "N2, \"main\" line"});
    auto b = h.device({"2", "0B", "Ar"});
    h.append(a, t0, 12.5, 50.0, 1);
    h.append(a, t0 + 0.05, std::nullopt, 50.0, 1);
    h.append(b, t0 + 0.1, 0.75, 1.0, 2);
    EXPECT_EQ(trendCsv(h, -INFINITY, INFINITY, unitName),
              header + "2026-03-01T12:00:00.250,1,0A,\"N2, \"\"main\"\" line\",12.5,50,SCCM\r\n"
                       "2026-03-01T12:00:00.300,1,0A,\"N2, \"\"main\"\" line\",,50,SCCM\r\n"
                       "2026-03-01T12:00:00.350,2,0B,Ar,0.75,1,SLM\r\n");
}

TEST_F(CsvExportTest, VisibleRangeAndOlderSeconds) {
    auto a = h.device({"1", "0A", "x"});
    // Two readings in one second, an hour and more ago: one line with the last of them.
    h.append(a, t0, 1.0, 0.0, 1);
    h.append(a, t0 + 0.5, 2.0, 0.0, 1);
    h.append(a, t0 + 4000.0, 3.0, 0.0, 1);
    EXPECT_EQ(trendCsv(h, -INFINITY, INFINITY, unitName),
              header + "2026-03-01T12:00:00.750,1,0A,x,2,0,SCCM\r\n"
                       "2026-03-01T13:06:40.250,1,0A,x,3,0,SCCM\r\n");
    EXPECT_EQ(trendCsv(h, t0 + 1.0, t0 + 5000.0, unitName),
              header + "2026-03-01T13:06:40.250,1,0A,x,3,0,SCCM\r\n");
}

TEST_F(CsvExportTest, WriteErrorLeavesTheOldFileAndSaysWhyAsDoesAMissingFolder) {
    ASSERT_TRUE(folder.valid());
    auto a = h.device({"1", "0A", "x"});
    h.append(a, t0, 1.0, 0.0, 1);
    const std::string path = folder.file("trend.csv");
    ASSERT_EQ(exportTrendCsv(path, h, -INFINITY, INFINITY, unitName), "");
    EXPECT_EQ(test::readFile(path), trendCsv(h, -INFINITY, INFINITY, unitName));

    // A full disk, as root meets it too: no file may grow past a few bytes.
    h.append(a, t0 + 1.0, 2.0, 0.0, 1);
    auto previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 16;
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    const std::string error = exportTrendCsv(path, h, -INFINITY, INFINITY, unitName);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(error.rfind("Cannot write " + path + ": ", 0), 0U) << error;
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_EQ(test::readFile(path).find("2026-03-01T12:00:01"), std::string::npos);

    // A folder that is not there.
    const std::string nowhere = folder.file("no/such/folder/trend.csv");
    const std::string missing = exportTrendCsv(nowhere, h, -INFINITY, INFINITY, unitName);
    EXPECT_EQ(missing.rfind("Cannot write " + nowhere + ": ", 0), 0U) << missing;
}

} // namespace
} // namespace kvt::monitor
