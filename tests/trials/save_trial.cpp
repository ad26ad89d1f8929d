// kvt-save-trial: drives one of the program's save paths for scripts/crash-trials, which kills it
// at random moments and then checks the file. <kind>: setup, program, eeprom or csv.
//   kvt-save-trial <kind> <file> expect <folder>  writes the two contents a save alternates
//                                                 between to <folder>/a and <folder>/b
//   kvt-save-trial <kind> <file> loop|once        loads as the program does, then saves the two
//                                                 contents in turn until killed (once: one save)
//   kvt-save-trial log <file> loop                appends numbered records until killed
#include "config/SetupFile.h"
#include "monitor/CsvExport.h"
#include "monitor/DataLogs.h"
#include "monitor/SetPointProgram.h"
#include "monitor/TrendHistory.h"
#include "platform/SafeFile.h"
#include "service/EepromFile.h"
#include "support/TerminalWorld.h"

#include <cstdio>
#include <string>

#include <unistd.h>

using namespace kvt;

namespace {

config::DeviceTable setupTable(int variant) {
    config::DeviceTable t;
    for (int i = 1; i <= config::DeviceTable::kMaxDevices; ++i) {
        auto r = testing::deviceRecord(std::to_string(i), std::to_string(10 + i), 0);
        r.Name = (variant == 0 ? "Line A unit " : "Line B controller ") + std::to_string(i);
        r.SetPoint = variant * 10.0 + i;
        t.addDevice(r);
    }
    return t;
}

monitor::SetPointProgram program(int variant) {
    monitor::SetPointProgram p;
    for (int i = 0; i < monitor::SetPointProgram::kRows; ++i)
        p.rows[i] = {std::to_string(variant * 50 + i), std::to_string(i + 1)};
    return p;
}

service::EepromTable eeprom(int variant) {
    service::EepromTable t;
    for (int e = 0; e < service::kEepromEntries; ++e)
        t[e] = service::makeEntry(service::entryVariable(e),
                                  (variant == 0 ? "GF " : "VAL ") + std::to_string(e * 7));
    return t;
}

monitor::TrendHistory trend(int variant) {
    monitor::TrendHistory h;
    for (int d = 0; d < 4; ++d) {
        const auto index = h.device({std::to_string(d + 1), std::to_string(d + 11), "Unit"});
        for (int k = 0; k < 500; ++k)
            h.append(index, 1000.0 + k * 0.1, 10.0 * d + k % 97 + variant * 0.5, 50.0, 1);
    }
    return h;
}

// Saves content `variant` (0 or 1) to `path` through the program's own writer.
std::string save(const std::string& kind, const std::string& path, int variant) {
    if (kind == "setup")
        return config::SaveDeviceTable(setupTable(variant), path);
    if (kind == "program")
        return monitor::saveProgramFile(path, program(variant));
    if (kind == "eeprom")
        return platform::replaceFile(path, service::eprBytes(eeprom(variant)));
    if (kind == "csv") {
        static const monitor::TrendHistory histories[2] = {trend(0), trend(1)};
        return monitor::exportTrendCsv(path, histories[variant], -1e300, 1e300,
                                       [](int) -> std::string_view { return "SCCM"; });
    }
    return "unknown kind " + kind;
}

// What the program does with the file before it saves again.
void load(const std::string& kind, const std::string& path) {
    if (kind == "setup") {
        config::DeviceTable t;
        config::LoadDeviceTable(t, path);
    } else if (kind == "program") {
        monitor::loadProgramFile(path);
    }
}

int appendLog(const std::string& path) {
    testing::TerminalWorld w(sim::LineMode::Rs232, {testing::deviceRecord("1", "01")});
    auto& t = w.terminal();
    w.op.choose(path);
    w.op.answer(platform::Answer::No); // an existing log is appended to
    t.logs().openLog(monitor::LogSlot::Auto);
    if (!t.logs().isOpen(monitor::LogSlot::Auto)) {
        std::fprintf(stderr, "kvt-save-trial: the log did not open\n");
        return 1;
    }
    std::puts("saving");
    std::fflush(stdout);
    char record[80];
    for (unsigned long n = 0;; ++n) {
        std::snprintf(record, sizeof record, "record %010lu flow 12.345 set point 50.0 SCCM", n);
        t.logs().writeAuto(record);
        ::usleep(100); // a busy recorder, not a disk filler
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: kvt-save-trial <setup|program|eeprom|csv|log> <file> "
                             "(loop | expect <folder>)\n");
        return 2;
    }
    const std::string kind = argv[1];
    const std::string path = argv[2];
    const std::string mode = argv[3];
    if (kind == "log" && mode == "loop")
        return appendLog(path);
    const bool expect = mode == "expect" && argc == 5;
    if (!expect && mode != "loop" && mode != "once")
        return 2;
    if (!expect) {
        load(kind, path);
        std::puts("saving"); // the trials time their kills from here
        std::fflush(stdout);
    }
    for (unsigned long n = 0; mode == "loop" || n < (expect ? 2u : 1u); ++n) {
        const std::string file = expect ? std::string(argv[4]) + (n == 0 ? "/a" : "/b") : path;
        const std::string error = save(kind, file, static_cast<int>(n % 2));
        if (!error.empty()) {
            std::fprintf(stderr, "kvt-save-trial: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
