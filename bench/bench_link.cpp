// Turnaround and waiting cost of the transaction engine over the real Qt serial port, against
// kvt-devsim on a pseudo-terminal (which models the wire time of the chosen baud rate).
//
//   bench_link [exchanges=500]
//
// For each baud rate: the time from the reply's line feed reaching this process to the next command
// being written (median, 99th percentile), and this process's CPU time as a share of wall time;
// then the same against a device that answers 250 ms late, where the share is the cost of waiting;
// then the first runs again over tcp:// to ser2net (raw mode) in front of the same simulator.
// The 115200 baud run is repeated with the bus-health observer attached, to show what it costs.

#include "BenchSupport.h"
#include "link/BusStatistics.h"
#include "link/TransactionEngine.h"
#include "monitor/PortController.h"
#include "platform/qt/QtPreferenceStore.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "support/DevSimProcess.h"
#include "support/ForwardingPort.h"
#include "support/Ser2NetProcess.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace kvt;
using Clock = std::chrono::steady_clock;

namespace {

// Time-stamps the line feed of each reply as the engine reads it, and each command as it is
// written.
class TimingPort final : public testing::ForwardingPort {
public:
    using ForwardingPort::ForwardingPort;
    void output(const std::string& bytes) override {
        if (lineFeedAt_) {
            turnarounds.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - *lineFeedAt_).count());
            lineFeedAt_.reset();
        }
        inner_.output(bytes);
    }
    std::string input() override {
        std::string in = inner_.input();
        if (in.find('\n') != std::string::npos)
            lineFeedAt_ = Clock::now();
        return in;
    }

    std::vector<double> turnarounds;

private:
    std::optional<Clock::time_point> lineFeedAt_;
};

int run(int baud, int exchanges, int delayMs, bool overTcp = false, bool observed = false) {
    QTemporaryDir profile;
    platform::qt::QtPreferenceStore prefs(profile.path().toStdString());
    testing::DevSimProcess sim(
        KVT_DEVSIM_PATH, {"--baud", std::to_string(baud), "--delay", std::to_string(delayMs)});
    std::unique_ptr<testing::Ser2NetProcess> server;
    if (overTcp) {
        server =
            std::make_unique<testing::Ser2NetProcess>(sim.path(), profile.path().toStdString());
        prefs.save("KVT Control Terminal", "Ports", "Com1", server->rawUrl());
    } else {
        prefs.save("KVT Control Terminal", "Ports", "Com1", sim.path());
    }
    platform::qt::QtSerialPort qtPort(prefs);
    TimingPort port(qtPort);
    if (auto e = port.setSettings(std::to_string(baud) + ",n,8,1"); !e.empty()) {
        std::fprintf(stderr, "settings: %s\n", e.c_str());
        return 1;
    }
    platform::qt::QtRuntime rt;
    bench::BenchOperator op;
    monitor::FrmTerminalModel model;
    monitor::PortController ports(model, port, rt, op);
    if (!ports.openIfClosed())
        return 1;

    auto& engine = ports.engine();
    link::BusStatistics statistics(rt.clock());
    if (observed)
        engine.setObserver(&statistics);
    engine.exchange("f"); // warm up
    port.turnarounds.clear();
    int empty = 0;
    double cpu0 = bench::cpuSeconds();
    auto wall0 = Clock::now();
    for (int i = 0; i < exchanges; ++i) {
        auto reply = engine.exchange(i % 2 ? "f" : "m,d");
        if (!reply || reply->empty())
            ++empty;
    }
    double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    double cpu = bench::cpuSeconds() - cpu0;
    ports.closeWithDrain();
    engine.setObserver(nullptr);

    std::printf("%s%6d baud, device latency %d ms%s: %d exchanges in %.2f s (%.1f /s), empty "
                "replies %d, boxes %d\n",
                overTcp ? "tcp:// " : "pty    ", baud, delayMs,
                observed ? ", bus-health observer on" : "", exchanges, wall, exchanges / wall,
                empty, op.boxes);
    std::printf(
        "                    turnaround LF -> next command: median %.1f us, p99 %.1f us, max %.1f "
        "us (n=%zu)\n",
        bench::percentile(port.turnarounds, 0.5), bench::percentile(port.turnarounds, 0.99),
        bench::percentile(port.turnarounds, 1.0), port.turnarounds.size());
    std::printf("                    CPU: %.2f %% of wall time, %.1f us per exchange\n",
                100.0 * cpu / wall, 1e6 * cpu / exchanges);
    return empty == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int exchanges = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    int rc = 0;
    // Back to back: the device answers at once, so the figures include handling every reply.
    for (int baud : {115200, 9600})
        rc |= run(baud, exchanges, 0);
    rc |= run(115200, exchanges, 0, false, true);
    // A slow device: nearly all of the time is spent waiting for the reply.
    rc |= run(9600, std::max(1, exchanges / 25), 250);
    // The same device behind a serial device server on loopback.
    if (testing::Ser2NetProcess::program().empty()) {
        std::printf("tcp:// runs skipped: ser2net is not installed\n");
        return rc;
    }
    for (int baud : {115200, 9600})
        rc |= run(baud, exchanges, 0, true);
    rc |= run(9600, std::max(1, exchanges / 25), 250, true);
    return rc;
}
