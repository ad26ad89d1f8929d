// Monitoring with the real Qt port, runtime and main window (offscreen) against kvt-devsim:
//
//   single-unit, one device at 9600 baud, 100 ms sampling: period between flow commands (median,
//     95th percentile) and CPU, with the logs off and then with the auto log and recorder on;
//   multi-unit, a page of eight devices at 115200 baud, the fastest scan: pass period and CPU, and
//     the same page with one device that never answers.
//
//   bench_monitor [seconds=30]

#include "BenchSupport.h"
#include "config/DeviceTable.h"
#include "config/SetupFile.h"
#include "monitor/DataLogs.h"
#include "monitor/DialogHost.h"
#include "monitor/FrmTerminal.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "support/DevSimProcess.h"
#include "support/ForwardingPort.h"
#include "support/MemoryPreferences.h"
#include "ui/FrmTerminalWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sys/resource.h>

using namespace kvt;
using Clock = std::chrono::steady_clock;

namespace {

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename F> void waitFor(F done, int ms) {
    for (int waited = 0; !done() && waited < ms; waited += 20)
        waitMs(20);
}

// Time-stamps every command written, by command text.
class TimingPort final : public testing::ForwardingPort {
public:
    using ForwardingPort::ForwardingPort;
    void output(const std::string& bytes) override {
        if (recording)
            sent[bytes].push_back(
                std::chrono::duration<double>(Clock::now().time_since_epoch()).count());
        inner_.output(bytes);
    }

    bool recording = false;
    std::map<std::string, std::vector<double>> sent;
};

struct Stats {
    double median = 0, p95 = 0, max = 0;
    std::size_t n = 0;
};

Stats periods(const std::vector<double>& times) {
    std::vector<double> d;
    for (std::size_t i = 1; i < times.size(); ++i)
        d.push_back(1000 * (times[i] - times[i - 1]));
    Stats s;
    s.n = d.size();
    if (d.empty())
        return s;
    std::sort(d.begin(), d.end());
    s.median = d[d.size() / 2];
    s.p95 = d[std::min(d.size() - 1, d.size() * 95 / 100)];
    s.max = d.back();
    return s;
}

struct Run {
    Run(const std::vector<std::string>& addresses, const std::vector<std::string>& table,
        const std::string& baud, bool rs485)
        : folder(std::filesystem::temp_directory_path() /
                 ("kvt-bench-monitor-" + std::to_string(getpid()) + "-" + std::to_string(++count))),
          sim(KVT_DEVSIM_PATH, simArgs(addresses, baud, rs485)), qtPort(prefs), port(qtPort) {
        std::filesystem::create_directories(folder);
        prefs.save("KVT Control Terminal", "Ports", "Com1", sim.path());
        prefs.save("KVT Control Terminal", "Properties", "Settings", baud + ",n,8,1");
        prefs.save("KVT Control Terminal", "Properties", "Interface", rs485 ? "False" : "True");
        prefs.save("KVT Control Terminal", "Properties", "Time_ss", "1"); // 100 ms
        prefs.save("KVT Control Terminal", "Properties", "Time_ms", "0"); // 50 ms
        prefs.save("KVT Control Terminal", "Properties", "Time_sr", "1"); // 250 ms
        config::DeviceTable t;
        int n = 1;
        for (const auto& a : table) {
            config::DeviceRecord r;
            r.Number = std::to_string(n);
            r.Address = a;
            r.Name = "Bench " + std::to_string(n);
            r.EngUnit = 1;
            r.InputMode = 1;
            r.ValveMode = 1;
            r.SetPoint = 5.0 * n++;
            r.CommEnabled = 1;
            t.addDevice(r);
        }
        config::SaveDeviceTable(t, (folder / "setup.dat").string());
        logic = std::make_unique<monitor::FrmTerminal>(monitor::FrmTerminal::Services{
            port, rt, op, prefs, dialogs, (folder / "setup.dat").string(), folder.string()});
        window = std::make_unique<ui::FrmTerminalWindow>(*logic);
        window->show();
        logic->Form_Load();
        waitFor([&] { return !logic->loaderActive(); }, 30000);
    }
    ~Run() {
        rt.pump().shutdown();
        window.reset();
        logic.reset();
        std::filesystem::remove_all(folder);
    }
    static std::vector<std::string> simArgs(const std::vector<std::string>& addresses,
                                            const std::string& baud, bool rs485) {
        std::string list;
        for (const auto& a : addresses)
            list += (list.empty() ? "" : ",") + a;
        if (rs485)
            return {"--rs485", list, "--baud", baud};
        return {"--address", list, "--baud", baud};
    }
    // Runs the mode for `seconds` and returns the CPU share of that time in percent.
    double measure(const char* toggle, double seconds) {
        logic->menuClick(toggle);
        waitMs(1000); // the first set points go out
        port.sent.clear();
        port.recording = true;
        double cpu0 = bench::cpuSeconds();
        auto t0 = Clock::now();
        waitMs(static_cast<int>(seconds * 1000));
        double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        double cpu = 100 * (bench::cpuSeconds() - cpu0) / wall;
        port.recording = false;
        logic->menuClick(toggle);
        waitFor([&] { return !qtPort.portOpen(); }, 5000);
        return cpu;
    }

    static inline int count = 0;
    std::filesystem::path folder;
    testing::DevSimProcess sim;
    testing::MemoryPreferences prefs;
    platform::qt::QtSerialPort qtPort;
    TimingPort port;
    platform::qt::QtRuntime rt;
    bench::BenchOperator op;
    bench::NoDialogs dialogs;
    std::unique_ptr<monitor::FrmTerminal> logic;
    std::unique_ptr<ui::FrmTerminalWindow> window;
};

void print(const char* what, const Stats& s) {
    std::printf("  %-34s median %7.1f ms  p95 %7.1f ms  max %7.1f ms  (%zu periods)\n", what,
                s.median, s.p95, s.max, s.n);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double seconds = argc > 1 ? std::max(2.0, std::atof(argv[1])) : 30.0;

    std::printf("Single-unit, 1 device, 9600 baud, sampling 100 ms, %.0f s each:\n", seconds);
    for (bool logging : {false, true}) {
        Run run({"01"}, {"01"}, "9600", false);
        std::string log = (run.folder / "bench.log").string();
        if (logging) {
            run.op.file = log;
            run.logic->menuClick("mnuFileALogO");
            run.logic->menuClick("mnuDRecStart");
        }
        double cpu = run.measure("mnuAutoS", seconds);
        std::printf(" logs %s: CPU %.2f %% of a core\n", logging ? "on " : "off", cpu);
        print("period between flow commands", periods(run.port.sent["f\r"]));
        if (logging)
            std::printf("  auto-log file: %ju bytes\n",
                        static_cast<std::uintmax_t>(std::filesystem::file_size(log)));
    }

    std::vector<std::string> eight = {"01", "02", "03", "04", "05", "06", "07", "08"};
    // 6 characters out and about 12 back, 10 bits each.
    const double wireMs = 18 * 10 * 1000.0 / 115200;
    std::printf("Multi-unit, page of 8, 115200 baud, scan 50 ms, %.0f s each (bound %.1f ms):\n",
                seconds, 1.05 * 8 * (50 + wireMs));
    {
        Run run(eight, eight, "115200", true);
        run.logic->menuClick("mnuVM8");
        double cpu = run.measure("mnuAutoM", seconds);
        std::printf(" all answer: CPU %.2f %% of a core\n", cpu);
        for (const char* a : {"!01,f\r", "!08,f\r"})
            print((std::string("pass period (") + std::string(a).substr(0, 5) + ")").c_str(),
                  periods(run.port.sent[a]));
    }
    {
        // 07 is in the table but not on the line.
        std::vector<std::string> seven = {"01", "02", "03", "04", "05", "06", "08"};
        Run run(seven, eight, "115200", true);
        run.logic->menuClick("mnuVM8");
        double cpu = run.measure("mnuAutoM", seconds);
        std::printf(" 07 silent: CPU %.2f %% of a core, %d box(es)\n", cpu, run.op.boxes);
        for (const char* a : {"!01,f\r", "!08,f\r"})
            print((std::string("pass period (") + std::string(a).substr(0, 5) + ")").c_str(),
                  periods(run.port.sent[a]));
    }
    return 0;
}
