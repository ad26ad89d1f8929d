// The terminal window under continuous received text: kvt-devsim streams text lines back to back
// at 115200 baud for a minute while the terminal shows them in the main window (offscreen) and a
// key is typed every half second. Reports the CPU the program takes, the longest text held, and how
// long a typed key takes to leave the program for the line.
//
//   bench_terminal [seconds=60]

#include "BenchSupport.h"
#include "monitor/DialogHost.h"
#include "monitor/FrmTerminal.h"
#include "monitor/TerminalWindow.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "ui/FrmTerminalWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
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
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;

    std::string folder = "/tmp/kvt-bench-terminal-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    // No devices: the loader stays off the line, which belongs to the stream.
    std::ofstream(folder + "/setup.dat").close();
    kvt::testing::DevSimProcess sim(KVT_DEVSIM_PATH, {"--baud", "115200", "--stream"});
    kvt::testing::MemoryPreferences prefs;
    prefs.save("KVT Control Terminal", "Ports", "Com1", sim.path());
    prefs.save("KVT Control Terminal", "Properties", "Settings", "115200,n,8,1");
    prefs.save("KVT Control Terminal", "Properties", "Interface", "True");
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
    }
    logic.Form_Load();
    while (logic.loaderActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    logic.menuClick("mnuStart");
    if (!port.portOpen()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }
    auto* term = window ? window->findChild<QPlainTextEdit*>("txtTerm") : nullptr;

    std::size_t longest = 0, received = 0;
    int widgetLongest = 0;
    logic.model.subscribe([&] { longest = std::max(longest, logic.model.txtTerm.caption.size()); });
    logic.ports().onTerminalText = [&, show = logic.ports().onTerminalText](const std::string& t) {
        received += t.size();
        show(t);
    };

    // A key every half second; a 1 ms probe watches for it to leave the program.
    std::vector<double> latencies;
    QElapsedTimer sinceKey;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (port.outBufferCount() == 0 || sinceKey.elapsed() > 100) {
            latencies.push_back(sinceKey.nsecsElapsed() / 1e6);
            probe.stop();
        }
    });
    QTimer typist;
    typist.setInterval(500);
    QObject::connect(&typist, &QTimer::timeout, [&] {
        if (term)
            widgetLongest = std::max(widgetLongest, term->document()->characterCount());
        sinceKey.start();
        logic.terminalWindow().txtTerm_KeyPress(U'k');
        probe.start();
    });

    const double cpu0 = kvt::bench::cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    typist.start();
    QTimer::singleShot(seconds * 1000, [] { QApplication::quit(); });
    QApplication::exec();
    const double cpu = 100 * (kvt::bench::cpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9);
    std::printf("key latencies in order (ms):");
    for (double l : latencies)
        std::printf(" %.1f", l);
    std::printf("\n");
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty() || received == 0) {
        std::fprintf(stderr, "nothing measured\n");
        return 1;
    }
    std::printf("%d s of streamed text at 115200 baud: %.0f bytes/s received, CPU %.2f %%, "
                "longest text %zu characters (widget %d), typed key out after median %.2f ms, "
                "worst %.2f ms (%zu keys); boxes %d\n",
                seconds, received / (wall.nsecsElapsed() / 1e9), cpu, longest, widgetLongest,
                latencies[latencies.size() / 2], latencies.back(), latencies.size(), op.boxes);
    return longest <= monitor::TerminalWindow::kMaxText && latencies.back() <= 10 && op.boxes == 0
               ? 0
               : 1;
}
