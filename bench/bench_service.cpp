// CPU of the terminal while service polls run against kvt-devsim (one RS-232 device, 9600 baud):
// a repeating converter reading (one "Read," a second) and an auto-zero status poll (one "z,s"
// every two seconds until the device reports the end), with the idle program as the baseline.
//
//   bench_service [seconds=10]

#include "BenchSupport.h"
#include "monitor/DialogHost.h"
#include "monitor/FrmTerminal.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "service/ServiceMenus.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "ui/QtServiceDialogs.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;

    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() / ("kvt-bench-service-" + std::to_string(getpid()));
    fs::create_directories(folder);
    {
        std::ofstream setup(folder / "setup.dat", std::ios::binary);
        setup << "\"1\",\"01\",\"KVT\",0,1,1,0,0,0,0,10,10000,0,0,2,2,1,0,0,0,1,1,1\r\n";
    }
    kvt::testing::DevSimProcess sim(KVT_DEVSIM_PATH, {"--baud", "9600"});
    kvt::testing::MemoryPreferences prefs;
    prefs.save("KVT Control Terminal", "Ports", "Com1", sim.path());
    kvt::platform::qt::QtSerialPort port(prefs);
    kvt::platform::qt::QtRuntime rt;
    kvt::bench::BenchOperator op;
    kvt::bench::NoDialogs dialogs;
    kvt::ui::QtServiceDialogs serviceDialogs;
    kvt::monitor::FrmTerminal t(
        {port, rt, op, prefs, dialogs, (folder / "setup.dat").string(), folder.string()});
    kvt::service::ServiceMenus service(t, serviceDialogs);
    t.Form_Load();
    rt.pump().waitUntil([&] { return !t.loaderActive(); });
    t.menuClick("mnuQueryBackDoorOpen");

    auto measure = [&](const char* what, const std::function<void()>& run) {
        double cpu0 = kvt::bench::cpuSeconds(), wall0 = kvt::bench::monotonicNow();
        run();
        double wall = kvt::bench::monotonicNow() - wall0;
        std::printf("%-36s %6.1f s wall, CPU %.2f %% of a core\n", what, wall,
                    100 * (kvt::bench::cpuSeconds() - cpu0) / wall);
    };
    measure("idle, port open", [&] {
        bool done = false;
        QTimer::singleShot(seconds * 1000, [&] { done = true; });
        rt.pump().waitUntil([&] { return done; });
    });
    measure("repeating reading (Read,7 every 1 s)", [&] {
        QTimer::singleShot(seconds * 1000, [&] { service.cancelWindow.cmdCancel_Click(); });
        t.menuClick("mnuQueryReadSensorComp");
    });
    measure("auto zero poll (z,s every 2 s)", [&] { t.menuClick("mnuDeviceAutoZeroDoNow"); });
    std::printf("last reading shown: %s\n", service.cancelWindow.Label1.caption.c_str());
    std::printf("auto zero: %s\n", service.autoZeroWindow.Label1.caption.c_str());
    rt.pump().shutdown();
    fs::remove_all(folder);
    return 0;
}
