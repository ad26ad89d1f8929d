// CPU of the terminal while service polls run against kvt-devsim (one RS-232 device, 9600 baud):
// a repeating converter reading (one "Read," a second) and an auto-zero status poll (one "z,s"
// every two seconds until the device reports the end), with the idle program as the baseline.
//
//   bench_service [seconds=10]

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

namespace {

double monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

// Answers Yes to every question; the benchmark has nobody at the keyboard.
class YesOperator final : public kvt::platform::Operator {
public:
    kvt::platform::Answer message(const kvt::platform::Message& m) override {
        ++boxes;
        last = m.text;
        return m.buttons == kvt::platform::Buttons::YesNo ? kvt::platform::Answer::Yes
                                                          : kvt::platform::Answer::Ok;
    }
    std::string input(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::optional<std::string> chooseFile(const kvt::platform::FileRequest&) override {
        return std::nullopt;
    }
    void beep() override {}
    int boxes = 0;
    std::string last;
};

class NoDialogs final : public kvt::monitor::DialogHost {
public:
    void showProperties(kvt::monitor::FrmProperties&) override {}
    void showAbout() override {}
};

} // namespace

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
    YesOperator op;
    NoDialogs dialogs;
    kvt::ui::QtServiceDialogs serviceDialogs;
    kvt::monitor::FrmTerminal t({port, rt, op, prefs, dialogs, (folder / "setup.dat").string()});
    kvt::service::ServiceMenus service(t, serviceDialogs);
    t.Form_Load();
    rt.pump().waitUntil([&] { return !t.loaderActive(); });
    t.menuClick("mnuQueryBackDoorOpen");

    auto measure = [&](const char* what, const std::function<void()>& run) {
        double cpu0 = cpuSeconds(), wall0 = monotonicNow();
        run();
        double wall = monotonicNow() - wall0;
        std::printf("%-36s %6.1f s wall, CPU %.2f %% of a core\n", what, wall,
                    100 * (cpuSeconds() - cpu0) / wall);
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
