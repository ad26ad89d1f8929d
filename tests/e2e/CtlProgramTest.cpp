// kvt-ctl as scripts run it: the real program against kvt-devsim on a pseudo-terminal.

#include "config/SetupFile.h"
#include "platform/qt/QtPreferenceStore.h"
#include "support/DevSimProcess.h"
#include "support/TempFolder.h"
#include "support/TerminalWorld.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using kvt::test::readFile;

struct Result {
    int code = -1;
    std::string out, err;
};

// No display, and preferences and data in `home`: the developer's own are never touched.
QProcessEnvironment ctlEnvironment(const std::string& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home + "/config"));
    env.insert("XDG_DATA_HOME", QString::fromStdString(home + "/data"));
    env.remove("DISPLAY");
    return env;
}

Result runCtl(const std::vector<std::string>& args, const std::string& home,
              const std::string& program = KVT_CTL_PATH) {
    QProcess p;
    p.setProcessEnvironment(ctlEnvironment(home));
    QStringList list;
    for (const auto& a : args)
        list << QString::fromLatin1(a.data(), static_cast<qsizetype>(a.size()));
    p.start(QString::fromStdString(program), list);
    if (!p.waitForFinished(30000)) {
        p.kill(); // a hang shows as a crash
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

// A two-device RS-485 line, and a home folder with no preferences at all.
class CtlProgram : public ::testing::Test {
protected:
    CtlProgram() : sim(KVT_DEVSIM_PATH, {"--rs485", "01,1A", "--baud", "115200"}) {}
    Result ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", sim.path()});
        return runCtl(args, home.path());
    }
    // Starts a watch of `device` that runs until it is ended; true once it has printed.
    bool watch(QProcess& p, const char* device, const char* intervalMs) {
        p.setProcessEnvironment(ctlEnvironment(home.path()));
        p.start(KVT_CTL_PATH, {"--port", QString::fromStdString(sim.path()), "--rs485", device,
                               "watch", "--interval-ms", intervalMs});
        return p.waitForReadyRead(10000);
    }
    kvt::test::TempFolder home;
    kvt::testing::DevSimProcess sim;
};

struct Case {
    std::vector<std::string> args;
    int code;
    std::string out;   // regular expression for the whole of standard output
    std::string error; // text that standard error contains ("" : standard error is empty)
};

void check(const Case& c, const Result& r) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_TRUE(QRegularExpression("\\A(?:" + QString::fromStdString(c.out) + ")\\z")
                    .match(QString::fromStdString(r.out))
                    .hasMatch())
        << r.out;
    if (c.error.empty())
        EXPECT_EQ(r.err, "");
    else
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
}

} // namespace

TEST_F(CtlProgram, UsageErrorsPortErrorsHelpAndVersion) {
    const Case cases[] = {
        {{"--help"}, 0, "Usage: kvt-ctl [^\\n]*\\n(.*\\n)*", ""},
        {{"--version"}, 0, "kvt-ctl " KVT_VERSION_EXPECTED "\\n", ""},
        {{}, 2, "", "no command given"},
        {{"bogus"}, 2, "", "unknown command bogus"},
        {{"--speed", "9600", "flow"}, 2, "", "unknown option --speed"},
        {{"send", "m,d", "v,o"}, 2, "", "send takes one command line"},
        // One command per invocation: nothing that ends a line reaches the device.
        {{"send", "m,d\rv,o"}, 2, "", "control characters"},
        {{"send", "m,d\n"}, 2, "", "control characters"},
        {{"--rs485", "00", "flow"}, 2, "", "--rs485 needs a device address"},
        {{"--rs485", "1G", "flow"}, 2, "", "--rs485 needs a device address"},
        {{"--port", "17", "flow"}, 2, "", "port numbers are 1 to 16"},
        {{"--settings", "9600,x,8,1", "--rs232", "flow"}, 2, "", "--settings 9600,x,8,1"},
        {{"--rs232", "setpoint", "0x10"}, 2, "", "0x10 is not a number"},
        {{"flow", "now"}, 2, "", "flow takes no arguments"},
        {{"scan", "--from", "20", "--to", "10"}, 2, "", "--from is above --to"},
        {{"scan", "--timeout-ms", "5"}, 2, "", "--timeout-ms must be"},
        {{"watch", "--count", "0"}, 2, "", "--count must be"},
        {{"watch", "ZZ"}, 2, "", "ZZ is neither"},
        {{"--port", home.file("no-such-tty"), "--rs232", "flow"}, 3, "", "no-such-tty"},
        {{"--port", "tcp://127.0.0.1:1", "--rs232", "flow"},
         3,
         "",
         "Cannot open tcp://127.0.0.1:1"},
        {{"--port", "udp://127.0.0.1:1", "--rs232", "flow"}, 3, "", "unknown scheme udp"},
    };
    for (const Case& c : cases)
        check(c, runCtl(c.args, home.path()));
}

TEST_F(CtlProgram, CommandsOnAnRs485Line) {
    const Case cases[] = {
        {{"--rs485", "1A", "send", "m,d"}, 0, "MD\\n", ""},
        {{"--rs485", "33", "send", "m,d"}, 1, "", "no reply to !33,m,d"},
        {{"--rs485", "1A", "flow"}, 0, "\\d+(\\.\\d+)?\\n", ""},
        {{"--rs485", "01", "setpoint", "7,25"}, 0, "S7\\.250\\n", ""},
        {{"--rs485", "1A", "setpoint"}, 1, "", "setup.dat holds no set point for device 1A"},
        {{"--rs485", "1A", "status"},
         0,
         "flow=[0-9.]+\\nfull_scale=100\\ninput_mode=(Analog|Digital)\\n"
         "valve_mode=(Auto|Close|Open \\(Purge\\))\\nrelay1=[A-Za-z &>]+\\nrelay2=[A-Za-z &>]+\\n"
         "auto_zero=(Enabled|Disabled|Zero In Progress)\\nalarm=(None|High|Low)\\ntotal=[0-9.]+\\n",
         ""},
        {{"--rs485", "33", "status"}, 1, "", "the device does not answer"},
        {{"scan", "--from", "01", "--to", "1F", "--timeout-ms", "60"}, 0, "01\\n1A\\n", ""},
        {{"scan", "--from", "02", "--to", "05", "--timeout-ms", "60"}, 1, "", "no device answered"},
        {{"watch", "--count", "2", "--interval-ms", "50", "1A", "01"},
         0,
         "(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,(1A|01),[0-9.]+,\\n){4}",
         ""},
        {{"watch", "--count", "1", "01", "33"},
         1,
         "[^,]+,01,[0-9.]+,\\n[^,]+,33,,\\n",
         "no reply to !33,f"},
    };
    for (const Case& c : cases)
        check(c, ctl(c.args));
}

// A watch ends cleanly when terminated, and with the port's error when the device goes away.
TEST_F(CtlProgram, WatchEndsOnTerminateAndOnALostDevice) {
    QProcess p;
    ASSERT_TRUE(watch(p, "1A", "30"));
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(p.readAllStandardOutput().endsWith('\n')) << "no reading cut in half";

    ASSERT_TRUE(watch(p, "01", "20"));
    sim.stop();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 3);
    EXPECT_NE(p.readAllStandardError().toStdString().find("lost"), std::string::npos);
}

// Without options: the terminal's own port, settings, interface and device, read, never written.
TEST_F(CtlProgram, UsesTheTerminalsPreferencesAndWritesNothing) {
    // setup.dat lives beside a program in a writable folder: run a copy from the temporary one.
    std::filesystem::create_directories(home.file("bin"));
    const std::string program = home.file("bin/kvt-ctl");
    std::filesystem::copy_file(KVT_CTL_PATH, program);
    auto first = kvt::testing::deviceRecord("1", "01");
    auto second = kvt::testing::deviceRecord("2", "1A");
    second.SetPoint = 42.25;
    const std::string setup = kvt::config::formatSetupLine(first) + "\r\n" +
                              kvt::config::formatSetupLine(second) + "\r\n";
    std::ofstream(home.file("bin/setup.dat"), std::ios::binary) << setup;
    {
        kvt::platform::qt::QtPreferenceStore prefs(home.file("config"));
        prefs.save("KVT Control Terminal", "Ports", "Com3", sim.path());
        prefs.save("KVT Control Terminal", "Properties", "CommPort", "3");
        prefs.save("KVT Control Terminal", "Properties", "Settings", "115200,n,8,1");
        prefs.save("KVT Control Terminal", "Properties", "Interface", "False");
        prefs.save("KVT Control Terminal", "Properties", "Cur_unit", "2");
    }
    const std::string prefsFile = home.file("config/KVT Control Terminal/preferences.ini");
    const std::string prefsBefore = readFile(prefsFile);
    ASSERT_FALSE(prefsBefore.empty());

    const Case cases[] = {
        {{"setpoint"}, 0, "42\\.250\\n", ""},
        {{"setpoint", "3"}, 0, "S3\\.000\\n", ""},
        {{"watch", "--count", "1"}, 0, "[^,]+,1A,[0-9.]+,42\\.250\\n", ""},
        {{"--rs485", "01", "watch", "--count", "1"}, 0, "[^,]+,01,[0-9.]+,0\\.000\\n", ""},
    };
    for (const Case& c : cases)
        check(c, runCtl(c.args, home.path(), program));

    EXPECT_EQ(readFile(home.file("bin/setup.dat")), setup);
    EXPECT_EQ(readFile(prefsFile), prefsBefore);
    EXPECT_FALSE(std::filesystem::exists(home.file("data")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.file("bin")), {}), 2)
        << "nothing but the program and setup.dat";
}
