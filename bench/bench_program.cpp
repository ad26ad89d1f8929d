// A set-point program of twelve ramps against kvt-devsim at 9600 baud, with the real port, runtime
// and main window (offscreen): each step's duration against its 0.2 s grid, the drift of the whole
// run, and the CPU the program takes while it runs.
//
//   bench_program [seconds=600]
//
// The seconds are shared out over the twelve steps (whole seconds each).

#include "BenchSupport.h"
#include "config/DeviceTable.h"
#include "config/SetupFile.h"
#include "monitor/DialogHost.h"
#include "monitor/FrmProgram.h"
#include "monitor/FrmTerminal.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "ui/FrmTerminalWindow.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace kvt;

namespace {} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    const int total = argc > 1 ? std::max(12, std::atoi(argv[1])) : 600;
    const int perStep = total / 12;

    std::string folder = "/tmp/kvt-bench-program-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    kvt::testing::DevSimProcess sim(KVT_DEVSIM_PATH, {"--baud", "9600"});
    kvt::testing::MemoryPreferences prefs;
    prefs.save("KVT Control Terminal", "Ports", "Com1", sim.path());
    prefs.save("KVT Control Terminal", "Properties", "Settings", "9600,n,8,1");
    prefs.save("KVT Control Terminal", "Properties", "Interface", "True");
    {
        config::DeviceTable table;
        config::DeviceRecord r;
        r.Number = "1";
        r.Address = "01";
        r.CommEnabled = 1;
        table.addDevice(r);
        config::SaveDeviceTable(table, folder + "/setup.dat");
    }
    platform::qt::QtSerialPort port(prefs);
    platform::qt::QtRuntime runtime;
    kvt::bench::BenchOperator op;
    kvt::bench::NoDialogs dialogs;
    monitor::FrmTerminal logic(monitor::FrmTerminal::Services{port, runtime, op, prefs, dialogs,
                                                              folder + "/setup.dat", folder});
    // KVT_BENCH_NO_WINDOW=1 measures the logic and the port alone.
    std::unique_ptr<ui::FrmTerminalWindow> window;
    if (qEnvironmentVariableIsEmpty("KVT_BENCH_NO_WINDOW")) {
        window = std::make_unique<ui::FrmTerminalWindow>(logic);
        window->show();
        if (auto ms = qEnvironmentVariableIntValue("KVT_BENCH_REFRESH_MS"))
            window->setRefreshDelay(ms);
    }
    logic.Form_Load();
    while (logic.loaderActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    // Ramps up and down between 0 and 100 %, one every step.
    const char* targets[12] = {"100", "0",  "50", "100", "20", "80",
                               "0",   "60", "10", "90",  "30", "0"};
    auto& runner = logic.program();
    for (int i = 0; i < 12; ++i)
        runner.table.rows[i] = {targets[i], std::to_string(perStep)};
    runner.stepCount = 12;

    std::vector<double> stepStarts;
    double end = 0, cpuStart = 0;
    runner.panel.subscribe([&] {
        const std::size_t step =
            static_cast<std::size_t>(std::atoi(runner.panel.lblStep.caption.c_str()));
        if (step == stepStarts.size() + 1)
            stepStarts.push_back(kvt::bench::monotonicNow());
        if (step == 1 && cpuStart == 0)
            cpuStart = kvt::bench::cpuSeconds();
    });
    logic.model.subscribe([&] {
        if (!stepStarts.empty() && end == 0 && !logic.model.fraProg.visible) {
            end = kvt::bench::monotonicNow();
            QTimer::singleShot(1000, [] { QApplication::quit(); });
        }
    });
    std::printf("program of 12 ramps, %d s each, at 9600 baud\n", perStep);
    runner.start();
    QApplication::exec();
    const double cpuEnd = kvt::bench::cpuSeconds();
    if (stepStarts.size() != 12 || end == 0) {
        std::fprintf(stderr, "the run did not finish (%zu steps seen)\n", stepStarts.size());
        return 1;
    }
    stepStarts.push_back(end);
    double worst = 0;
    for (int i = 0; i < 12; ++i) {
        const double d = stepStarts[i + 1] - stepStarts[i];
        worst = std::max(worst, std::fabs(d - perStep));
        std::printf("step %2d: %8.3f s (planned %d s, off by %+6.1f ms)\n", i + 1, d, perStep,
                    (d - perStep) * 1000);
    }
    const double wall = end - stepStarts.front();
    std::printf("run %.3f s for %d s planned: drift %+.1f ms; worst step %.1f ms off (a tick is "
                "200 ms); CPU %.2f %%; boxes %d\n",
                wall, total, (wall - total) * 1000, worst * 1000,
                100 * (cpuEnd - cpuStart) / (kvt::bench::monotonicNow() - stepStarts.front()),
                op.boxes);
    return worst <= 0.2 && op.boxes == 0 ? 0 : 1;
}
