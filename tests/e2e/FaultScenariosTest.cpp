// Line faults during every operation, real Qt port and runtime against kvt-devsim on a pty: a
// silent device, late replies, noise, the simulator killed mid-exchange. Each row: no hang or spin,
// one message, setup.dat kept, no reading under the wrong command or device, and a working restart.

#include "link/NumberText.h"
#include "monitor/FrmProgram.h"
#include "monitor/MultiUnitMonitor.h"
#include "monitor/SingleUnitMonitor.h"
#include "support/ForwardingPort.h"
#include "support/PtyRig.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <ctime>

#include <fcntl.h>
#include <termios.h>

using namespace kvt;

namespace {

enum class Op { Loader, Single, Multi, Program, Service };
enum class Fault { Silent, Late, Noise, Killed };

// Each operation's name, and the menu entry that starts it (and stops a monitoring mode).
struct OpKind {
    const char* name;
    const char* menu;
};
const OpKind kOps[] = {{"Loader", ""},
                       {"SingleUnit", "mnuAutoS"},
                       {"MultiUnit", "mnuAutoM"},
                       {"Program", "mnuCommProg"},
                       {"RepeatingReading", "mnuQueryReadSensorComp"}};
const OpKind& kind(Op op) {
    return kOps[static_cast<int>(op)];
}

// How each fault is made, and how long it runs: past a time-out, and past a late answer.
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

// The process's CPU time, all threads.
double cpuMs() {
    return 1e3 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
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

// Two RS-485 devices behind a symlink each new simulator takes over; the terminal's real port.
struct FaultBench {
    FaultBench() {
        port.kill = [this] { ::kill(r.sim->pid(), SIGKILL); };
        setup = test::readFile(r.folder.file("setup.dat"));
    }
    // The terminal goes before the port it was built over.
    ~FaultBench() {
        r.rt.pump().shutdown();
        r.service.reset();
        r.t.reset();
    }

    // Sets the devices' flows straight on the line, before the terminal opens it.
    void primeFlows() {
        int fd = ::open(r.line().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 1; // a read waits a tenth of a second at most
        tcsetattr(fd, TCSANOW, &tio);
        const std::string lines =
            "!01,s," + std::to_string(kFlow1) + "\r!02,s," + std::to_string(kFlow2) + "\r";
        EXPECT_EQ(::write(fd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
        // Both answers are taken off the line here, so none is left for the terminal.
        std::ptrdiff_t replies = 0;
        for (int i = 0; i < 10 && replies < 2; ++i) {
            char buf[64];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            replies += std::count(buf, buf + std::max<ssize_t>(n, 0), '\n');
        }
        ::close(fd);
        primed = true;
    }

    // Runs the operation from the event loop for `ms`; true once it has ended and the port closed.
    bool run(Op op, int ms) {
        ended = false;
        QTimer::singleShot(0, [this, op] { begin(op); });
        QTimer::singleShot(ms, [this, op] { end(op); });
        return r.waitFor([this, op] { return ended && finished(op); }, ms + 15000);
    }

    void begin(Op op) {
        if (op == Op::Loader) {
            r.build(port);
            r.t->model.subscribe([this] { watch(); });
            r.t->program().panel.subscribe([this] { watch(); });
            r.t->Form_Load();
            // The loader's tick, without its second of grace.
            if (r.t->Timer8().isActive())
                r.t->Timer8_Timer();
            return;
        }
        if (op == Op::Program)
            r.dialogs.program = [](monitor::FrmProg& d) {
                for (std::size_t i = 0; i < 4; ++i) {
                    d.model.txtSP[i].caption = i % 2 ? "30" : "5";
                    d.model.txtTime[i].caption = "1";
                }
                d.cmdRun_Click();
            };
        r.t->menuClick(kind(op).menu);
    }
    bool running(Op op) {
        return op == Op::Single    ? r.t->single().running()
               : op == Op::Multi   ? r.t->multi().running()
               : op == Op::Program ? r.t->program().running()
                                   : false;
    }
    void end(Op op) {
        ended = true;
        if (op == Op::Program)
            r.t->program().Command1_Click();
        else if (op == Op::Service)
            r.service->cancelWindow.cmdCancel_Click();
        else if (running(op))
            r.t->menuClick(kind(op).menu);
    }
    bool finished(Op op) {
        if (op == Op::Loader)
            return r.t && !r.t->loaderActive() && !port.portOpen();
        if (op != Op::Service)
            return !running(op) && !port.portOpen();
        // The procedure leaves the port open; the operator closes it.
        if (r.service->cancelWindow.frmCancelSend.visible || r.service->link.busy())
            return false;
        if (port.portOpen())
            r.t->menuClick("mnuOpen");
        return !port.portOpen();
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
        auto& t = *r.t;
        // Before the flows are set, the far device may still be on its way up.
        const double far = primed ? kFlow1 + 1 : -0.01;
        // Only what is on show: a starting mode redraws its panels after its first changes.
        if (t.single().running() && t.model.fraSD.visible)
            check("lblRead", t.model.lblRead.caption, -0.01, kFlow1 + 1);
        if (t.multi().running() && t.model.fraMulti.visible) {
            const auto& p = t.model.fraMD;
            if (p[0].fra.visible)
                check("panel 0", p[0].lblRe.caption, -0.01, kFlow1 + 1);
            if (p[1].fra.visible)
                check("panel 1", p[1].lblRe.caption, far, kFlow2 + 1);
        }
        if (t.program().running())
            check("program", t.program().panel.lblRe.caption, -0.01, kProgramTop + 1);
    }

    NoServiceDialogs serviceDialogs;
    kvt::testing::PtyRig r{{.simArgs = {"--rs485", "01,02", "--baud", "115200"},
                            .devices = kvt::testing::monitoredDevices({kFlow1, kFlow2}),
                            .fastPolls = true,
                            .service = &serviceDialogs,
                            .build = false,
                            .linked = true}};
    KillingPort port{r.port};
    std::string setup;
    bool ended = false;
    bool checkReadings = false;
    bool primed = false;
    int readings = 0;
    std::vector<std::string> wrong;
};

class FaultScenario : public ::testing::TestWithParam<std::tuple<Op, Fault>> {};

} // namespace

TEST_P(FaultScenario, NoHangNoSpinOneMessageFilesKeptAndRestartWorks) {
    const auto [op, fault] = GetParam();
    FaultBench b;
    if (op != Op::Loader) {
        ASSERT_TRUE(b.run(Op::Loader, 0));
        ASSERT_TRUE(b.r.op.shown.empty()) << b.r.op.texts().front();
    }
    b.r.startSim(kind(fault).simArgs);
    // A late simulator would answer the priming after the terminal has the port.
    if (fault == Fault::Noise || fault == Fault::Killed)
        b.primeFlows();
    b.r.wait(200); // the flows settle
    const auto boxesBefore = b.r.op.shown.size();
    if (fault == Fault::Killed)
        b.port.killAfter = op == Op::Service ? 1 : 3; // mid-exchange: a command on its way
    b.checkReadings = fault != Fault::Noise;

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuMs();
    // The repeated reading gives up, and says so, after its third time-out in a row.
    const int ms = op == Op::Service && fault == Fault::Silent ? 8500 : kind(fault).ms;
    const bool ended = b.run(op, ms);
    const double cpu = cpuMs() - cpuBefore;
    const double elapsed = static_cast<double>(wall.elapsed());
    b.port.killAfter = 0;
    b.checkReadings = false;
    const auto texts = b.r.op.texts();
    const std::vector<std::string> boxes(texts.begin() + static_cast<long>(boxesBefore),
                                         texts.end());

    EXPECT_TRUE(ended) << "the operation did not end";
    // Waiting on a dead or silent line costs next to nothing; a spinning notifier costs a core.
    EXPECT_LT(cpu, 0.35 * elapsed) << cpu << " ms CPU in " << elapsed << " ms";
    // Once a device, not once a command.
    EXPECT_LE(boxes.size(), op == Op::Multi || op == Op::Loader ? 2u : 1u)
        << ::testing::PrintToString(boxes);
    if (fault == Fault::Silent || fault == Fault::Killed) {
        EXPECT_GE(boxes.size(), 1u) << "the operator hears of it";
    }
    std::printf("[ row ] %s x %s: boxes %s, CPU %.0f ms in %.0f ms\n", kind(op).name,
                kind(fault).name, ::testing::PrintToString(boxes).c_str(), cpu, elapsed);

    // A sound device on the same port: the operation runs again and shows its own readings.
    b.r.startSim();
    b.primeFlows();
    b.r.wait(200);
    const auto boxesAfter = b.r.op.shown.size();
    b.readings = 0;
    // The faulty run's last readings: noise may have left a garbled one on show.
    b.r.t->program().panel.lblRe.caption.clear();
    b.r.t->model.lblRead.caption.clear();
    for (auto& panel : b.r.t->model.fraMD)
        panel.lblRe.caption.clear();
    b.checkReadings = true;
    ASSERT_TRUE(b.run(op, 500)) << "restarted operation did not end";
    b.checkReadings = false;
    EXPECT_EQ(b.r.op.shown.size(), boxesAfter) << b.r.op.texts().back();
    // Readings of the faulty run and of the restart alike.
    EXPECT_TRUE(b.wrong.empty()) << ::testing::PrintToString(b.wrong);
    if (op == Op::Single || op == Op::Multi || op == Op::Program) {
        EXPECT_GT(b.readings, op == Op::Program ? 0 : 2);
    } else if (op == Op::Service) {
        EXPECT_GT(b.r.service->cancelWindow.Label1.caption.size(),
                  std::string("Sensor Compensated - ").size());
    } else if (op == Op::Loader) {
        EXPECT_EQ(b.r.t->table.status(2).FullScale, 100.0);
    }
    EXPECT_EQ(test::readFile(b.r.folder.file("setup.dat")), b.setup);
}

INSTANTIATE_TEST_SUITE_P(Line, FaultScenario,
                         ::testing::Combine(::testing::Values(Op::Loader, Op::Single, Op::Multi,
                                                              Op::Program, Op::Service),
                                            ::testing::Values(Fault::Silent, Fault::Late,
                                                              Fault::Noise, Fault::Killed)),
                         [](const auto& info) {
                             return std::string(kind(std::get<0>(info.param)).name) + "_" +
                                    kind(std::get<1>(info.param)).name;
                         });
