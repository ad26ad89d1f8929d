// Faults of the line during every kind of operation, with the real Qt port and runtime against
// kvt-devsim on a pseudo-terminal: a silent device, replies after the time-out, noise, and the
// simulator killed mid-exchange. Each row checks that the program neither hangs nor spins, tells
// the operator once, leaves setup.dat alone, shows no reading under the wrong command or device,
// and runs the operation again once a sound device is back on the same port.

#include "config/DeviceTable.h"
#include "config/SetupFile.h"
#include "link/NumberText.h"
#include "monitor/FrmProgram.h"
#include "monitor/FrmTerminal.h"
#include "monitor/MultiUnitMonitor.h"
#include "monitor/SingleUnitMonitor.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "service/ServiceMenus.h"
#include "support/DevSimProcess.h"
#include "support/ForwardingPort.h"
#include "support/MemoryPreferences.h"
#include "support/ScriptedOperator.h"
#include "support/TempFolder.h"
#include "support/TerminalWorld.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

using namespace kvt;

namespace {

enum class Op { Loader, Single, Multi, Program, Service };
enum class Fault { Silent, Late, Noise, Killed };

struct Row {
    Op op;
    Fault fault;
};

const char* const kOpNames[] = {"Loader", "SingleUnit", "MultiUnit", "Program", "RepeatingReading"};
const char* name(Op op) {
    return kOpNames[static_cast<int>(op)];
}

// How each fault is made, and how long it is let run: long enough for a time-out and, for late
// replies, for the late answer to land after its command has given up.
struct FaultKind {
    const char* name;
    std::vector<std::string> simArgs;
    int ms;
};
const FaultKind kFaults[] = {{"Silent", {"--silent"}, 2300},
                             {"Late", {"--delay", "2500"}, 2800},
                             {"Noise", {"--noise", "30"}, 1500},
                             {"Killed", {}, 1200}};
const FaultKind& kind(Fault f) {
    return kFaults[static_cast<int>(f)];
}

double cpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// Flows far apart, so a reading under the wrong device or command shows.
constexpr double kFlow1 = 5.0;
constexpr double kFlow2 = 90.0;
constexpr double kProgramTop = 30.0; // the program's set points alternate between 5 and this

// Kills the simulator right after the terminal has written its n-th command from now on.
class KillingPort final : public kvt::testing::ForwardingPort {
public:
    using ForwardingPort::ForwardingPort;
    void output(const std::string& bytes) override {
        inner_.output(bytes);
        if (killAfter > 0 && --killAfter == 0 && kill)
            kill();
    }
    int killAfter = 0;
    std::function<void()> kill;
};

// No service dialog is opened by the procedures these scenarios run.
class NoServiceDialogs final : public service::ServiceDialogs {
public:
    void showZeroMan(service::ZeroAdjust&) override {}
    void showCalibrateAD(service::CalibrateAD&) override {}
    void showValve(service::ValveTable&) override {}
};

// Two devices on an RS-485 line behind a symlink that every simulator takes over in turn, the
// terminal's logic on the real port and runtime, and the service procedures.
struct FaultBench {
    FaultBench() : link(folder.file("line")), qtPort(prefs), port(qtPort) {
        port.kill = [this] { killSim(); };
        prefs.save(link::kApplication, "Ports", "Com1", link);
        prefs.save(link::kApplication, "Properties", "Settings", "115200,n,8,1");
        prefs.save(link::kApplication, "Properties", "Interface", "False");
        prefs.save(link::kApplication, "Properties", "Time_ss", "1"); // 100 ms
        prefs.save(link::kApplication, "Properties", "Time_ms", "0"); // 50 ms
        config::DeviceTable table;
        for (int i = 1; i <= 2; ++i) {
            auto r = kvt::testing::deviceRecord(std::to_string(i), "0" + std::to_string(i));
            r.Name = "Unit " + std::to_string(i);
            r.EngUnit = 1;
            r.InputMode = 1;
            r.ValveMode = 1;
            r.SetPoint = i == 1 ? kFlow1 : kFlow2;
            table.addDevice(r);
        }
        config::SaveDeviceTable(table, folder.file("setup.dat"));
        setup = test::readFile(folder.file("setup.dat"));
    }
    ~FaultBench() {
        rt.pump().shutdown();
        service.reset();
        t.reset();
    }

    void startSim(const std::vector<std::string>& extra) {
        sim.reset();
        std::vector<std::string> args = {"--rs485", "01,02", "--baud", "115200", "--link", link};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<kvt::testing::DevSimProcess>(KVT_DEVSIM_PATH, args);
    }
    void killSim() {
        if (sim)
            ::kill(sim->pid(), SIGKILL);
    }

    // Sets the devices' flows straight on the line, before the terminal opens it.
    void primeFlows() {
        int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
        const std::string lines =
            "!01,s," + std::to_string(kFlow1) + "\r!02,s," + std::to_string(kFlow2) + "\r";
        EXPECT_EQ(::write(fd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
        // Both answers are taken off the line here, so none is left for the terminal.
        std::string replies;
        fcntl(fd, F_SETFL, O_NONBLOCK);
        for (int i = 0; i < 100 && std::count(replies.begin(), replies.end(), '\n') < 2; ++i) {
            char buf[64];
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                replies.append(buf, static_cast<std::size_t>(n));
            else
                usleep(5000);
        }
        ::close(fd);
        primed = true;
    }

    void build() {
        service.reset();
        t.reset();
        t = std::make_unique<monitor::FrmTerminal>(monitor::FrmTerminal::Services{
            port, rt, op, prefs, dialogs, folder.file("setup.dat"), folder.path()});
        service = std::make_unique<service::ServiceMenus>(*t, serviceDialogs);
        t->model.subscribe([this] { watch(); });
        t->program().panel.subscribe([this] { watch(); });
    }

    void wait(int ms) {
        bool done = false;
        QTimer::singleShot(ms, [&] { done = true; });
        rt.pump().waitUntil([&] { return done; });
    }
    // Waits for `done` up to `ms`; false when it never came (a hang).
    bool waitFor(const std::function<bool()>& done, int ms) {
        bool late = false;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] { late = true; });
        timer.start(ms);
        rt.pump().waitUntil([&] { return late || done(); });
        return done();
    }

    // Starts the operation from the event loop (some run inside their own waits) and ends it after
    // `ms`; true once it has ended and the port is closed.
    bool run(Op op, int ms) {
        ended = false;
        QTimer::singleShot(0, [this, op] { begin(op); });
        QTimer::singleShot(ms, [this, op] { end(op); });
        return waitFor([this, op] { return ended && finished(op); }, ms + 15000);
    }

    void begin(Op op) {
        switch (op) {
        case Op::Loader:
            build();
            t->Form_Load();
            // The loader's tick, without its second of grace.
            if (t->Timer8().isActive())
                t->Timer8_Timer();
            break;
        case Op::Single:
            t->menuClick("mnuAutoS");
            break;
        case Op::Multi:
            t->menuClick("mnuAutoM");
            break;
        case Op::Program:
            dialogs.program = [](monitor::FrmProg& d) {
                for (int i = 0; i < 4; ++i) {
                    d.model.txtSP[static_cast<std::size_t>(i)].caption = i % 2 ? "30" : "5";
                    d.model.txtTime[static_cast<std::size_t>(i)].caption = "1";
                }
                d.cmdRun_Click();
            };
            t->menuClick("mnuCommProg");
            break;
        case Op::Service:
            t->menuClick("mnuQueryReadSensorComp");
            break;
        }
    }
    void end(Op op) {
        ended = true;
        switch (op) {
        case Op::Loader:
            break;
        case Op::Single:
            if (t->single().running())
                t->menuClick("mnuAutoS");
            break;
        case Op::Multi:
            if (t->multi().running())
                t->menuClick("mnuAutoM");
            break;
        case Op::Program:
            t->program().Command1_Click();
            break;
        case Op::Service:
            service->cancelWindow.cmdCancel_Click();
            break;
        }
    }
    bool finished(Op op) {
        switch (op) {
        case Op::Loader:
            return t && !t->loaderActive() && !port.portOpen();
        case Op::Single:
            return !t->single().running() && !port.portOpen();
        case Op::Multi:
            return !t->multi().running() && !port.portOpen();
        case Op::Program:
            return !t->program().running() && !port.portOpen();
        case Op::Service:
            // The procedure leaves the port open; the operator closes it.
            if (service->cancelWindow.frmCancelSend.visible || service->link.busy())
                return false;
            if (port.portOpen())
                t->menuClick("mnuOpen");
            return !port.portOpen();
        }
        return false;
    }

    // Every reading drawn must be a number of the device it is drawn for.
    void watch() {
        auto check = [this](const std::string& where, const std::string& reading, double low,
                            double high) {
            if (reading.empty() || reading == "No reply")
                return;
            ++readings;
            auto n = link::parseNumber(reading);
            if (!n || *n < low || *n > high)
                wrong.push_back(where + ": \"" + reading + "\"");
        };
        if (!checkReadings)
            return;
        // Before the flows are set, the far device may still be on its way up.
        const double far = primed ? kFlow1 + 1 : -0.01;
        // Only what is on show: a starting mode redraws its panels after its first changes.
        if (t->single().running() && t->model.fraSD.visible)
            check("lblRead", t->model.lblRead.caption, -0.01, kFlow1 + 1);
        if (t->multi().running() && t->model.fraMulti.visible) {
            const auto& p = t->model.fraMD;
            if (p[0].fra.visible)
                check("panel 0", p[0].lblRe.caption, -0.01, kFlow1 + 1);
            if (p[1].fra.visible)
                check("panel 1", p[1].lblRe.caption, far, kFlow2 + 1);
        }
        if (t->program().running())
            check("program", t->program().panel.lblRe.caption, -0.01, kProgramTop + 1);
    }

    test::TempFolder folder;
    std::string link;
    std::unique_ptr<kvt::testing::DevSimProcess> sim;
    kvt::testing::MemoryPreferences prefs;
    platform::qt::QtSerialPort qtPort;
    KillingPort port;
    platform::qt::QtRuntime rt;
    kvt::testing::ScriptedOperator op;
    kvt::testing::ScriptedDialogs dialogs;
    NoServiceDialogs serviceDialogs;
    std::unique_ptr<monitor::FrmTerminal> t;
    std::unique_ptr<service::ServiceMenus> service;
    std::string setup;
    bool ended = false;
    bool checkReadings = false;
    bool primed = false;
    int readings = 0;
    std::vector<std::string> wrong;
};

class FaultScenario : public ::testing::TestWithParam<Row> {};

} // namespace

TEST_P(FaultScenario, NoHangNoSpinOneMessageFilesKeptAndRestartWorks) {
    const Row row = GetParam();
    FaultBench b;
    const bool atStartUp = row.op == Op::Loader;
    if (!atStartUp) {
        b.startSim({});
        ASSERT_TRUE(b.run(Op::Loader, 0));
        ASSERT_TRUE(b.op.shown.empty()) << b.op.texts().front();
    }
    b.startSim(kind(row.fault).simArgs);
    // A late simulator would answer the priming after the terminal has the port.
    if (row.fault == Fault::Noise || row.fault == Fault::Killed)
        b.primeFlows();
    b.wait(200); // the flows settle
    const auto boxesBefore = b.op.shown.size();
    if (row.fault == Fault::Killed)
        b.port.killAfter = row.op == Op::Service ? 1 : 3; // mid-exchange: a command on its way
    b.checkReadings = row.fault != Fault::Noise;

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuMs();
    // The repeated reading gives up, and says so, after its third time-out in a row.
    const int ms = row.op == Op::Service && row.fault == Fault::Silent ? 8500 : kind(row.fault).ms;
    const bool ended = b.run(row.op, ms);
    const double cpu = cpuMs() - cpuBefore;
    const double elapsed = static_cast<double>(wall.elapsed());
    b.port.killAfter = 0;
    b.checkReadings = false;
    const auto texts = b.op.texts();
    const std::vector<std::string> boxes(texts.begin() + static_cast<long>(boxesBefore),
                                         texts.end());

    EXPECT_TRUE(ended) << "the operation did not end";
    // Waiting on a dead or silent line costs next to nothing; a spinning notifier costs a core.
    EXPECT_LT(cpu, 0.35 * elapsed) << cpu << " ms CPU in " << elapsed << " ms";
    // Once a device, not once a command.
    EXPECT_LE(boxes.size(), row.op == Op::Multi || row.op == Op::Loader ? 2u : 1u)
        << ::testing::PrintToString(boxes);
    if (row.fault == Fault::Silent || row.fault == Fault::Killed) {
        EXPECT_GE(boxes.size(), 1u) << "the operator hears of it";
    }
    EXPECT_TRUE(b.wrong.empty()) << ::testing::PrintToString(b.wrong);
    EXPECT_EQ(test::readFile(b.folder.file("setup.dat")), b.setup);
    std::printf("[ row ] %s x %s: boxes %s, CPU %.0f ms in %.0f ms\n", name(row.op),
                kind(row.fault).name, ::testing::PrintToString(boxes).c_str(), cpu, elapsed);

    // A sound device on the same port: the operation runs again and shows its own readings.
    b.startSim({});
    b.primeFlows();
    b.wait(200);
    const auto boxesAfter = b.op.shown.size();
    b.readings = 0;
    b.t->program().panel.lblRe.caption.clear(); // the faulty run's last reading
    b.checkReadings = true;
    ASSERT_TRUE(b.run(row.op, 500)) << "restarted operation did not end";
    b.checkReadings = false;
    EXPECT_EQ(b.op.shown.size(), boxesAfter) << b.op.texts().back();
    EXPECT_TRUE(b.wrong.empty()) << ::testing::PrintToString(b.wrong);
    if (row.op == Op::Single || row.op == Op::Multi || row.op == Op::Program) {
        EXPECT_GT(b.readings, row.op == Op::Program ? 0 : 2);
    } else if (row.op == Op::Service) {
        EXPECT_GT(b.service->cancelWindow.Label1.caption.size(),
                  std::string("Sensor Compensated - ").size());
    } else if (row.op == Op::Loader) {
        EXPECT_EQ(b.t->table.status(2).FullScale, 100.0);
    }
    EXPECT_EQ(test::readFile(b.folder.file("setup.dat")), b.setup);
}

namespace {

std::vector<Row> allRows() {
    std::vector<Row> rows;
    for (Op op : {Op::Loader, Op::Single, Op::Multi, Op::Program, Op::Service})
        for (Fault f : {Fault::Silent, Fault::Late, Fault::Noise, Fault::Killed})
            rows.push_back({op, f});
    return rows;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Line, FaultScenario, ::testing::ValuesIn(allRows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(name(info.param.op)) + "_" +
                                    kind(info.param.fault).name;
                         });
