// Pictures of the Trend and Bus Health windows (offscreen) with the real port against kvt-devsim
// with garbage mixed into replies, so gaps show:
//
//   trend_screens [folder=.]
//
// writes trend-single.png (single-unit monitoring, one RS-232 device), trend-multi.png and
// bus-health.png (multi-unit monitoring, four RS-485 devices, one of them silent).

#include "BenchSupport.h"
#include "config/DeviceTable.h"
#include "config/SetupFile.h"
#include "monitor/FrmTerminal.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "ui/BusHealthWindow.h"
#include "ui/FrmTerminalWindow.h"
#include "ui/TrendWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <filesystem>

using namespace kvt;

namespace {

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Run {
    Run(const std::vector<std::string>& table, std::vector<std::string> simArgs, bool rs485)
        : folder(std::filesystem::temp_directory_path() /
                 ("kvt-trend-screens-" + std::to_string(getpid()) + "-" + std::to_string(++count))),
          sim(KVT_DEVSIM_PATH, std::move(simArgs)), port(prefs) {
        std::filesystem::create_directories(folder);
        prefs.save("KVT Control Terminal", "Ports", "Com1", sim.path());
        prefs.save("KVT Control Terminal", "Properties", "Settings", "115200,n,8,1");
        prefs.save("KVT Control Terminal", "Properties", "Interface", rs485 ? "False" : "True");
        prefs.save("KVT Control Terminal", "Properties", "Time_ss", "0");
        prefs.save("KVT Control Terminal", "Properties", "Time_ms", "100");
        config::DeviceTable t;
        int n = 1;
        for (const auto& a : table) {
            config::DeviceRecord r;
            r.Number = std::to_string(n);
            r.Address = a;
            r.Name = "Line " + std::to_string(n);
            r.EngUnit = n == 4 ? 3 : 1;
            r.InputMode = 1;
            r.ValveMode = 1;
            r.SetPoint = 15.0 * n++;
            r.CommEnabled = 1;
            t.addDevice(r);
        }
        config::SaveDeviceTable(t, (folder / "setup.dat").string());
        logic = std::make_unique<monitor::FrmTerminal>(monitor::FrmTerminal::Services{
            port, rt, op, prefs, dialogs, (folder / "setup.dat").string(), folder.string()});
        window = std::make_unique<ui::FrmTerminalWindow>(*logic);
        window->show();
        logic->Form_Load();
        for (int waited = 0; logic->loaderActive() && waited < 30000; waited += 50)
            waitMs(50);
    }
    ~Run() {
        rt.pump().shutdown();
        window.reset();
        logic.reset();
        std::filesystem::remove_all(folder);
    }
    static inline int count = 0;
    std::filesystem::path folder;
    testing::DevSimProcess sim;
    testing::MemoryPreferences prefs;
    platform::qt::QtSerialPort port;
    platform::qt::QtRuntime rt;
    bench::BenchOperator op;
    bench::NoDialogs dialogs;
    std::unique_ptr<monitor::FrmTerminal> logic;
    std::unique_ptr<ui::FrmTerminalWindow> window;
};

bool save(QWidget* w, const std::filesystem::path& file) {
    const bool ok = w->grab().save(QString::fromStdString(file.string()));
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::filesystem::path out = argc > 1 ? argv[1] : ".";
    bool ok = true;
    {
        Run run({"01"}, {"--address", "01", "--baud", "115200", "--noise", "8"}, false);
        run.logic->menuClick("mnuAutoS");
        run.logic->menuClick("mnuTrend");
        auto* trend = run.window->trendWindow();
        trend->resize(1000, 560);
        run.logic->trend().chooseWindow(60);
        waitMs(25000);
        trend->redraw();
        waitMs(1000);
        ok = save(trend, out / "trend-single.png") && ok;
        run.logic->menuClick("mnuAutoS");
    }
    {
        Run run({"01", "02", "03", "04", "05"},
                {"--rs485", "01,02,03,04", "--baud", "115200", "--noise", "8"}, true);
        run.logic->menuClick("mnuAutoM");
        run.logic->menuClick("mnuTrend");
        run.logic->menuClick("mnuBusHealth");
        auto* trend = run.window->trendWindow();
        trend->resize(1000, 560);
        run.logic->trend().chooseWindow(60);
        waitMs(30000);
        trend->redraw();
        waitMs(1000);
        ok = save(trend, out / "trend-multi.png") && ok;
        auto* bus = run.window->busHealthWindow();
        bus->redraw();
        ok = save(bus, out / "bus-health.png") && ok;
        run.logic->menuClick("mnuAutoM");
    }
    return ok ? 0 : 1;
}
