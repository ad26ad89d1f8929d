#pragma once

#include "platform/Runtime.h"

#include <array>
#include <string>
#include <string_view>

namespace kvt::monitor {

class FrmTerminal;

enum class LogSlot { Auto, Alarm, Comm };

// The three text logs (auto, alarm, communications) and the recorder that paces the auto log.
// Each log is appended to with one write() per record, so a record reaches the host as soon as it
// is handed over; a crash loses at most the record being written.
class DataLogs {
public:
    using LogSlot = monitor::LogSlot;

    // Registers the log and recorder menu entries and toolbar buttons; takes over Timer5's tick.
    // The chooser proposes the default names in `logFolder`.
    DataLogs(FrmTerminal& terminal, std::string logFolder);
    ~DataLogs();
    DataLogs(const DataLogs&) = delete;
    DataLogs& operator=(const DataLogs&) = delete;

    bool isOpen(LogSlot slot) const;
    bool alarmLogOpen() const { return isOpen(LogSlot::Alarm); }
    bool recorderOn() const { return recorder_; }
    // Raised by Timer5 ticks while the recorder runs; the loop that writes a record clears it.
    bool recordDue = false;
    // The file last chosen for the slot ("" before the first choice).
    const std::string& path(LogSlot slot) const;
    // The program folder, where the choosers propose their files.
    const std::string& folder() const { return logFolder_; }

    // Chooser, replace prompt, open: what the open entries do.
    void openLog(LogSlot slot);
    void closeLog(LogSlot slot);
    // Program end.
    void closeAll();
    void startRecorder();
    void stopRecorder();

    // Writers; a log that is closed takes nothing. The auto and alarm records get CR LF.
    void writeAuto(const std::string& record);
    void writeAlarm(const std::string& record);
    void writeComm(const std::string& text);

    // Record texts, without their line end. The program record is laid out like the single-unit
    // record.
    static std::string singleUnitRecord(const std::string& number, const std::string& reading);
    static std::string alarmRecord(const std::string& number, const std::string& reading,
                                   const std::string& alarm, double timeOfDaySeconds,
                                   platform::Date date);
    // One device's share of a multi-unit record.
    static std::string multiUnitField(double flow);

private:
    struct Slot {
        int fd = -1;
        std::string path;      // as chosen
        std::string canonical; // for refusing one file in two slots
        // Bytes handed over but not yet written: the rest of a partial write, and records that
        // came while the write-error box was waiting for its answer.
        std::string pending;
        bool boxOpen = false;
        unsigned generation = 0; // counts closes, so a box outliving its file knows it
    };

    Slot& slot(LogSlot s) { return slots_[static_cast<std::size_t>(s)]; }
    const Slot& slot(LogSlot s) const { return slots_[static_cast<std::size_t>(s)]; }
    void write(LogSlot s, std::string_view bytes);
    // The chosen file is open in another slot: names it and the slot.
    bool refuseIfOpenElsewhere(LogSlot s, const std::string& path, const std::string& canonical);
    void showOpened(LogSlot s);
    void showClosed(LogSlot s);
    void recorder(bool on);
    void fileError(const std::string& text);
    std::string proposedPath(LogSlot s) const;

    FrmTerminal& t_;
    std::string logFolder_;
    std::array<Slot, 3> slots_;
    bool recorder_ = false;
};

} // namespace kvt::monitor
