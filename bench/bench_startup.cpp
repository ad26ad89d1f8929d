// Start-up of the whole program against kvt-devsim with eight RS-485 devices at 9600 baud:
// time from process start to the main window shown and to the device loader finished, CPU while the
// loader waits on replies and while idle with the port open, and resident memory afterwards.
//
//   bench_startup [runs=5]
//
// Each run starts a fresh copy of this program (offscreen) from a temporary folder that holds its
// setup.dat and preference profile.

#include "BenchSupport.h"
#include "app/TerminalApplication.h"
#include "monitor/FrmTerminal.h"
#include "support/DevSimProcess.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long rssKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

// The measured program: prints "shown loader loaderCpu% idleCpu% rssKiB" on stdout.
int child(double forkedAt, int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName("KVT Control Terminal");
    kvt::app::TerminalApplication terminal;
    double shown = 0, loaded = 0, loaderCpu = 0, idleCpu = 0;
    terminal.start();
    QTimer::singleShot(0, [&] { shown = kvt::bench::monotonicNow() - forkedAt; });
    double cpuAtOpen = 0, wallAtOpen = 0;
    bool finished = false;
    // Follows the main window's model instead of polling, so the measurement costs nothing itself.
    terminal.logic().model.subscribe([&] {
        if (wallAtOpen == 0 && terminal.port().portOpen()) {
            cpuAtOpen = kvt::bench::cpuSeconds();
            wallAtOpen = kvt::bench::monotonicNow();
        }
        if (finished || !terminal.loaderDone())
            return;
        finished = true;
        loaded = kvt::bench::monotonicNow() - forkedAt;
        loaderCpu = 100 * (kvt::bench::cpuSeconds() - cpuAtOpen) /
                    (kvt::bench::monotonicNow() - wallAtOpen);
        QTimer::singleShot(0, [&] {
            // Idle with the port open for three seconds.
            terminal.logic().menuClick("mnuOpen");
            double cpu0 = kvt::bench::cpuSeconds(), wall0 = kvt::bench::monotonicNow();
            QTimer::singleShot(3000, [&, cpu0, wall0] {
                idleCpu =
                    100 * (kvt::bench::cpuSeconds() - cpu0) / (kvt::bench::monotonicNow() - wall0);
                QApplication::quit();
            });
        });
    });
    QTimer::singleShot(120000, [] { QApplication::quit(); });
    QApplication::exec();
    std::printf("%.4f %.4f %.3f %.3f %ld\n", shown, loaded, loaderCpu, idleCpu, rssKiB());
    return loaded > 0 ? 0 : 1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--child")
        return child(std::atof(argv[2]), argc, argv);

    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() / ("kvt-bench-startup-" + std::to_string(getpid()));
    fs::create_directories(folder / "config" / "KVT Control Terminal");
    fs::path self = folder / "bench_startup";
    fs::copy_file("/proc/self/exe", self, fs::copy_options::overwrite_existing);

    std::vector<std::string> addresses = {"01", "02", "03", "04", "05", "06", "07", "08"};
    std::string list;
    for (const auto& a : addresses)
        list += (list.empty() ? "" : ",") + a;
    kvt::testing::DevSimProcess sim(KVT_DEVSIM_PATH, {"--rs485", list, "--baud", "9600"});
    {
        std::ofstream setup(folder / "setup.dat", std::ios::binary);
        int n = 1;
        for (const auto& a : addresses)
            setup << '"' << n++ << "\",\"" << a
                  << "\",\"KVT\",0,1,1,0,0,0,0,10,10000,0,0,2,2,1,0,0,0,1,1,1\r\n";
        std::ofstream ini(folder / "config" / "KVT Control Terminal" / "preferences.ini");
        ini << "[Properties]\nInterface=False\nSettings=9600,n,8,1\nCommPort=1\n\n[Ports]\nCom1="
            << sim.path() << "\n";
    }

    std::vector<double> shown, loaded, loaderCpu, idleCpu, rss;
    for (int i = 0; i < runs; ++i) {
        int out[2];
        if (pipe(out) != 0)
            return 1;
        double forkedAt = kvt::bench::monotonicNow();
        pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            std::string at = std::to_string(forkedAt);
            execl(self.c_str(), self.c_str(), "--child", at.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::string text;
        char buf[256];
        ssize_t n;
        while ((n = read(out[0], buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
        close(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        double s = 0, l = 0, lc = 0, ic = 0;
        long r = 0;
        if (std::sscanf(text.c_str(), "%lf %lf %lf %lf %ld", &s, &l, &lc, &ic, &r) != 5 || l <= 0) {
            std::fprintf(stderr, "run %d failed: %s\n", i + 1, text.c_str());
            continue;
        }
        std::printf(
            "run %d: window shown %.0f ms, loader finished %.0f ms, CPU during loader %.2f %%, "
            "idle with port open %.2f %%, RSS %.1f MB\n",
            i + 1, s * 1000, l * 1000, lc, ic, r / 1024.0);
        shown.push_back(s);
        loaded.push_back(l);
        loaderCpu.push_back(lc);
        idleCpu.push_back(ic);
        rss.push_back(r / 1024.0);
    }
    fs::remove_all(folder);
    if (shown.empty())
        return 1;
    std::printf("median of %zu: window shown %.0f ms, loader finished %.0f ms, CPU during loader "
                "%.2f %%, idle with port open %.2f %%, RSS %.1f MB\n",
                shown.size(), median(shown) * 1000, median(loaded) * 1000, median(loaderCpu),
                median(idleCpu), median(rss));
    return 0;
}
