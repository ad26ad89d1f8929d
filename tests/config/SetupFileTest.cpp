#include "config/SetupFile.h"
#include "link/NumberText.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <locale>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>

using namespace kvt::config;
using kvt::test::TempFolder;

namespace {

using kvt::test::readFile;

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

DeviceRecord device(const std::string& number, const std::string& address,
                    const std::string& name = "KVT") {
    return {.Number = number, .Address = address, .Name = name};
}

// A valid line with one field replaced.
std::string lineWith(int field, const std::string& text) {
    std::vector<std::string> f = {"\"1\"", "\"01\"", "\"KVT\"", "0",     "1", "1", "0", "0",
                                  "0",     "0",      "10",      "10000", "0", "0", "2", "2",
                                  "1",     "0",      "0",       "0",     "1", "1", "0"};
    f[field] = text;
    std::string line;
    for (const auto& s : f)
        line += (line.empty() ? "" : ",") + s;
    return line;
}

const std::string kDefaultLine =
    "\"1\",\"01\",\"KVT\",0,1,1,0,0,0,0,10,10000,0,0,2,2,1,0,0,0,1,1,0";

class SetupFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.valid()); }
    TempFolder dir;
    const std::string path = dir.file("setup.dat");
};

} // namespace

TEST(SetupFile, ParseLineAcceptsTheReaderForms) {
    auto r = parseSetupLine(kDefaultLine + "\r");
    EXPECT_EQ(r, device("1", "01"));

    // Blanks around fields, a float without its integer digit, an exponent, a plus sign; a quoted
    // text keeps its inner blanks, an unquoted one is trimmed.
    r = parseSetupLine(" 7 , \"FF\",\"  a,b \" , 3 ,+9, .5,1,2,-.25,1,1e1,10000,0,0,2,2,1,0,0,0,"
                       "-2147483648,1,1 ");
    ASSERT_TRUE(r);
    EXPECT_EQ(formatSetupLine(*r),
              "\"7\",\"FF\",\"  a,b \",3,9,0.5,1,2,-0.25,1,10,10000,0,0,2,2,1,0,0,0,"
              "-2147483648,1,1");
}

TEST(SetupFile, ParseLineRejectsWhatItCannotRead) {
    // 22 and 24 fields, a trailing comma.
    for (const std::string& line : {std::string(), kDefaultLine.substr(0, kDefaultLine.rfind(',')),
                                    kDefaultLine + ",0", kDefaultLine + ","})
        EXPECT_FALSE(parseSetupLine(line)) << line;
    // Broken quotes, no address, integers that are not or do not fit 16/32 bits, bad floats.
    const std::pair<int, const char*> bad[] = {
        {2, "\"unterminated"}, {2, "\"KVT\"x"}, {2, "K\"V\"T"},     {1, "\"\""}, {3, "1.5"},
        {3, "32768"},          {3, "-32769"},   {20, "2147483648"}, {3, ""},     {3, "+-1"},
        {3, "True"},           {5, "abc"},      {5, "1e999"},       {5, "1 5"},  {5, ""}};
    for (const auto& [field, text] : bad)
        EXPECT_FALSE(parseSetupLine(lineWith(field, text))) << field << ": " << text;
    EXPECT_TRUE(parseSetupLine(lineWith(3, "32767")) && parseSetupLine(lineWith(3, "-32768")));
}

TEST_F(SetupFileTest, LinesAreExactAndReadBackTheSame) {
    const std::string line = "\"12\",\"1A\",\"Line A, north\",9,0,0.333333333333333,1,2,0.5,0,"
                             "12.5,123456.25,0,0,-1.5,2,1,0,4,2,256,0.3,1";
    const DeviceRecord asRead = parseSetupLine(line).value();
    // 1/3 and 0.1 + 0.2 keep only 15 digits in the file; everything else comes back exactly.
    DeviceRecord r = asRead;
    r.UserEuFactor = 1.0 / 3.0;
    r.UserKFactor = 0.1 + 0.2;
    DeviceTable table;
    table.addDevice(device("1", "01"));
    table.addDevice(r);
    ASSERT_EQ(SaveDeviceTable(table, path), "");
    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes, kDefaultLine + "\r\n" + line + "\r\n");

    DeviceTable loaded;
    const LoadResult result = LoadDeviceTable(loaded, path);
    EXPECT_TRUE(result.ok && !result.missing && result.message.empty());
    EXPECT_EQ((std::vector{loaded.record(1), loaded.record(2)}),
              (std::vector{device("1", "01"), asRead}));
    ASSERT_EQ(SaveDeviceTable(loaded, path), "");
    EXPECT_EQ(readFile(path), bytes);

    // A quote or line break inside a text would break the line.
    const std::string cleaned = "\"1\",\"01\",\"6' pipe  B\",";
    EXPECT_EQ(formatSetupLine(device("1", "01", "6\" pipe\r\nB")).substr(0, cleaned.size()),
              cleaned);
}

// Whatever a load keeps, a save writes and the next load gives back unchanged.
TEST_F(SetupFileTest, LoadSaveLoadGivesTheSameTable) {
    const struct {
        const char* what;
        std::string fileLine;
        std::string address; // as loaded; empty: the line is not loaded
    } cases[] = {{"CR inside a text", lineWith(1, "\"0\r1\""), "0 1"},
                 {"CR only address", lineWith(1, "\"\r\""), " "},
                 {"largest double", lineWith(5, "1.7976931348623157e308"), ""},
                 {"largest writable", lineWith(5, "1.79769313486231e308"), "01"},
                 {"smallest subnormal", lineWith(5, "4.9406564584124654e-324"), "01"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeAll(path, c.fileLine + "\r\n");
        DeviceTable first;
        EXPECT_EQ(LoadDeviceTable(first, path).ok, !c.address.empty());
        ASSERT_EQ(first.deviceCount(), c.address.empty() ? 0 : 1);
        EXPECT_EQ(first.record(1).Address, c.address);
        ASSERT_EQ(SaveDeviceTable(first, path), "");
        DeviceTable second;
        EXPECT_TRUE(LoadDeviceTable(second, path).ok);
        EXPECT_EQ(second.record(1), first.record(1));
        EXPECT_EQ(second.deviceCount(), first.deviceCount());
    }
}

// LF line ends, blank lines and a byte order mark are read; the table's old contents go.
TEST_F(SetupFileTest, LoadingReplacesTheTableWhateverTheLineEnds) {
    DeviceTable table;
    for (const char* address : {"0A", "0B", "0C", "0D"})
        table.addDevice(device("1", address));
    table.status(2).SetPointPending = -1;
    table.status(64).Total = 7;
    table.setCurrentDevice(4);
    writeAll(path, "\xEF\xBB\xBF" + lineWith(0, "\"1\"") + "\n\n   \r\n" + lineWith(1, "\"02\"") +
                       "\n" + lineWith(1, "\"03\""));
    const LoadResult result = LoadDeviceTable(table, path);
    EXPECT_TRUE(result.ok && result.message.empty());
    EXPECT_EQ(table.deviceCount(), 3);
    EXPECT_EQ(table.record(1).Address + table.record(2).Address + table.record(3).Address,
              "010203");
    EXPECT_FALSE(table.holdsDevice(4));
    EXPECT_EQ(table.currentDevice(), 4);
    for (int slot = 1; slot <= DeviceTable::kMaxDevices; ++slot)
        EXPECT_EQ(table.status(slot), DeviceStatus{}) << "slot " << slot;
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    writeAll(path, "");
    EXPECT_TRUE(LoadDeviceTable(table, path).ok);
    EXPECT_EQ(table.deviceCount(), 0);
}

TEST_F(SetupFileTest, SkippedLinesAreBackedUpAndReported) {
    const std::string original = lineWith(1, "\"01\"") + "\r\n" + lineWith(3, "x") + "\r\n" +
                                 lineWith(1, "\"03\"") + "\r\n" + lineWith(2, "\"open") + "\r\n";
    writeAll(path, original);
    writeAll(path + ".bak", "an older backup");

    DeviceTable table;
    LoadResult result = LoadDeviceTable(table, path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "setup.dat: lines 2, 4 could not be loaded and were skipped. The "
                              "file as it was is kept as " +
                                  path + ".bak.");
    EXPECT_EQ(readFile(path + ".bak"), original);
    EXPECT_EQ(table.record(2).Address, "03");

    // With the backup in place the table may be saved; the backup stays.
    EXPECT_FALSE(table.saveRefused());
    ASSERT_EQ(SaveDeviceTable(table, path), "");
    EXPECT_EQ(readFile(path + ".bak"), original);
    EXPECT_TRUE(LoadDeviceTable(table, path).ok);

    // Many bad lines and too many devices: ten bad lines named, the rest counted, the excess given.
    std::string mixed;
    for (int i = 1; i <= 70; ++i) {
        char address[3];
        std::snprintf(address, sizeof address, "%02X", i);
        mixed += (i <= 12 ? "rubbish\r\n" : "") + lineWith(1, std::string("\"") + address + "\"") +
                 "\r\n";
        if (i == 30)
            mixed += "\r\n"; // a blank line takes no slot
    }
    writeAll(path, mixed);
    result = LoadDeviceTable(table, path);
    EXPECT_EQ(table.record(64).Address, "40");
    EXPECT_EQ(result.message,
              "setup.dat: lines 1, 3, 5, 7, 9, 11, 13, 15, 17, 19 and 2 more could not be loaded "
              "and were skipped; lines 78-83 were skipped because the table holds at most 64 "
              "devices. The file as it was is kept as " +
                  path + ".bak.");
}

TEST_F(SetupFileTest, MissingFileIsAnEmptyTableAnUnreadableOneIsNotOverwritten) {
    DeviceTable table;
    table.addDevice(device("1", "01"));
    LoadResult result = LoadDeviceTable(table, path);
    EXPECT_TRUE(result.ok && result.missing && result.message.empty());
    EXPECT_EQ(table.deviceCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));

    // A folder where the file should be cannot be read, whoever runs the test.
    std::filesystem::create_directory(path);
    table.addDevice(device("1", "01"));
    result = LoadDeviceTable(table, path);
    EXPECT_FALSE(result.ok || result.missing);
    EXPECT_EQ(table.deviceCount(), 0);
    EXPECT_EQ(result.message, "Cannot read " + path +
                                  ": Is a directory. The device table starts empty, and "
                                  "setup.dat will not be overwritten.");
    ASSERT_TRUE(table.saveRefused());
    table.addDevice(device("2", "02"));
    EXPECT_EQ(SaveDeviceTable(table, path), table.saveRefusal());
    EXPECT_NE(table.saveRefusal().find("could not be read"), std::string::npos);

    // A later successful load lifts the refusal.
    const std::string good = dir.file("good.dat");
    writeAll(good, kDefaultLine + "\r\n");
    EXPECT_TRUE(LoadDeviceTable(table, good).ok);
    EXPECT_FALSE(table.saveRefused());
}

TEST_F(SetupFileTest, FailedBackupRefusesSaving) {
    const std::string original = kDefaultLine + "\r\nrubbish\r\n";
    writeAll(path, original);
    // The backup cannot replace a folder of that name.
    std::filesystem::create_directory(path + ".bak");
    DeviceTable table;
    const LoadResult result = LoadDeviceTable(table, path);
    EXPECT_EQ(result.backupPath, "");
    EXPECT_EQ(result.message.rfind("setup.dat: line 2 could not be loaded and was skipped. The "
                                   "file could not be backed up (Cannot write " +
                                       path + ".bak: ",
                                   0),
              0u);
    EXPECT_TRUE(table.saveRefused());
    EXPECT_NE(SaveDeviceTable(table, path), "");
    EXPECT_EQ(readFile(path), original);
}

TEST_F(SetupFileTest, FailedSaveLeavesTheOldFileWhole) {
    const std::string original = kDefaultLine + "\r\n";
    writeAll(path, original);

    DeviceTable table;
    for (int i = 1; i <= DeviceTable::kMaxDevices; ++i)
        table.addDevice(device(std::to_string(i), std::to_string(10 + i), "a long device name"));
    ASSERT_GT(formatSetupFile(table).size(), 4000u);

    // Let the disk "fill up" after 1000 bytes of the new file.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = old;
    lowered.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
    const std::string error = SaveDeviceTable(table, path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, "Cannot write " + path + ": File too large");
    EXPECT_EQ(readFile(path), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "the temporary file was left behind";

    // A folder that does not exist: the file cannot be created.
    const std::string nowhere = dir.file("no-folder/setup.dat");
    EXPECT_EQ(SaveDeviceTable(table, nowhere),
              "Cannot write " + nowhere + ": No such file or directory");
}

namespace {

// A decimal comma and a thousands point for the C++ side.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

} // namespace

TEST_F(SetupFileTest, DecimalCommaLocaleChangesNothing) {
    const std::string oldC = std::setlocale(LC_ALL, nullptr);
    const std::locale oldGlobal;
    // The C side takes the German locale where installed; the C++ side always gets a decimal comma.
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    std::locale::global(std::locale(std::locale::classic(), new CommaPunct));

    DeviceTable table;
    DeviceRecord r = device("1", "01");
    r.SetPoint = 0.5;
    r.UserKFactor = 1234.5;
    table.addDevice(r);
    const std::string saveError = SaveDeviceTable(table, path);
    DeviceTable loaded;
    const LoadResult loadResult = LoadDeviceTable(loaded, path);
    const std::string numbers = kvt::link::formatNumber(0.75) + " " +
                                kvt::link::formatNumber(kvt::link::leadingNumber("0.5")) + " " +
                                kvt::link::formatPattern(12.5, "####0.000");

    std::locale::global(oldGlobal);
    std::setlocale(LC_ALL, oldC.c_str());

    EXPECT_EQ(numbers, "0.75 0.5 12.500");
    EXPECT_EQ(saveError, "");
    EXPECT_EQ(readFile(path),
              "\"1\",\"01\",\"KVT\",0,1,1,0,0,0.5,0,10,10000,0,0,2,2,1,0,0,0,1,1234.5,0\r\n");
    EXPECT_TRUE(loadResult.ok);
    EXPECT_EQ(loaded.record(1), r);
}
