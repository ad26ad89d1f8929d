// Auto-log writing: the cost of handing one record to the log, which writes it to the host at once,
// measured over N records appended to a fresh file in the temporary folder. Prints median, p99 and
// max in microseconds.
//
//   bench_logs [records=20000]

#include "monitor/DataLogs.h"
#include "monitor/DialogHost.h"
#include "monitor/FrmTerminal.h"
#include "platform/PreferenceStore.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace kvt;

// Preferences kept in memory, so the run leaves the user's profile alone.
class MemoryStore final : public platform::PreferenceStore {
public:
    std::string get(const std::string&, const std::string&, const std::string& key,
                    const std::string& def) const override {
        auto it = values_.find(key);
        return it == values_.end() ? def : it->second;
    }
    void save(const std::string&, const std::string&, const std::string& key,
              const std::string& text) override {
        values_[key] = text;
    }

private:
    std::map<std::string, std::string> values_;
};

// Chooses the bench file; any box is answered Cancel (a write error ends the run).
class BenchOperator final : public platform::Operator {
public:
    explicit BenchOperator(std::string file) : file_(std::move(file)) {}
    platform::Answer message(const platform::Message& m) override {
        std::fprintf(stderr, "box: %s\n", m.text.c_str());
        ++boxes;
        return platform::Answer::Cancel;
    }
    std::string input(const std::string&, const std::string&, const std::string& d) override {
        return d;
    }
    std::optional<std::string> chooseFile(const platform::FileRequest&) override { return file_; }
    void beep() override {}
    int boxes = 0;

private:
    std::string file_;
};

class NoDialogs final : public monitor::DialogHost {
public:
    void showProperties(monitor::FrmProperties&) override {}
    void showAbout() override {}
    void showProgram(monitor::FrmProg&) override {}
};

double percentile(const std::vector<double>& sorted, double p) {
    std::size_t i = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(i, sorted.size() - 1)];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication qt(argc, argv);
    int records = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;

    std::string folder = "/tmp/kvt-bench-logs-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string file = folder + "/bench.log";

    MemoryStore preferences;
    platform::qt::QtSerialPort port(preferences);
    platform::qt::QtRuntime runtime;
    BenchOperator op(file);
    NoDialogs dialogs;
    monitor::FrmTerminal terminal(
        monitor::FrmTerminal::Services{port, runtime, op, preferences, dialogs, "", folder});
    auto& logs = terminal.logs();
    logs.openLog(monitor::LogSlot::Auto);
    if (!logs.isOpen(monitor::LogSlot::Auto)) {
        std::fprintf(stderr, "could not open %s\n", file.c_str());
        return 1;
    }

    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(records));
    char reading[32];
    for (int i = 0; i < records; ++i) {
        std::snprintf(reading, sizeof reading, "%10.3f", (i % 1000) * 0.1);
        const std::string record = monitor::DataLogs::singleUnitRecord("1", reading);
        const auto t0 = std::chrono::steady_clock::now();
        logs.writeAuto(record);
        const auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    logs.closeAll();

    struct stat st {};
    ::stat(file.c_str(), &st);
    const long expected = static_cast<long>(records) * (1 + 5 + 10 + 2);
    std::sort(us.begin(), us.end());
    std::printf("auto log: %d records, %ld bytes%s\n", records, static_cast<long>(st.st_size),
                st.st_size == expected && op.boxes == 0 ? "" : " (INCOMPLETE)");
    std::printf("per record: median %.2f us, p99 %.2f us, max %.2f us (target p99 <= 1000 us)\n",
                percentile(us, 0.5), percentile(us, 0.99), us.back());
    ::unlink(file.c_str());
    ::rmdir(folder.c_str());
    return st.st_size == expected && op.boxes == 0 ? 0 : 1;
}
