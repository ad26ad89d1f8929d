#include "monitor/DataLogs.h"

#include "link/CommSettings.h"
#include "link/NumberText.h"
#include "monitor/FrmTerminal.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvt::monitor {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

// False when the file holds text after its last line feed. (The log itself is open write-only.)
bool endsLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return true;
    struct stat st {};
    char last = '\n';
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
        ::pread(fd, &last, 1, st.st_size - 1) != 1)
        last = '\n';
    ::close(fd);
    return last == '\n';
}

struct SlotText {
    const char* defaultName;
    const char* chooserTitle;
    const char* filter;
    const char* what; // in the message that refuses one file in two logs
};

constexpr SlotText kSlotTexts[] = {
    {"My_ALog1.log", "Open Auto Log File", "Log Files (*.LOG)|*.log|All Files (*.*)|*.*",
     "auto log"},
    {"My_Alm1.alg", "Open Alarm Log File", "Log Files (*.ALG)|*.alg|All Files (*.*)|*.*",
     "alarm log"},
    {"My_TLog1.tlg", "Open Communications Log File", "Log Files (*.TLG)|*.tlg|All Files (*.*)|*.*",
     "communications log"},
};

const SlotText& textsOf(LogSlot s) {
    return kSlotTexts[static_cast<std::size_t>(s)];
}

std::string fileName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path with links and "." / ".." resolved; for a file not there yet, its folder's.
std::string canonicalPath(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf) != nullptr)
        return buf;
    auto slash = path.find_last_of('/');
    std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (::realpath(folder.c_str(), buf) == nullptr)
        return path;
    std::string f = buf;
    return (f == "/" ? "" : f) + "/" + fileName(path);
}

std::string hostError(const char* verb, const std::string& path, int error) {
    return std::string(verb) + " " + path + ": " + std::strerror(error);
}

} // namespace

DataLogs::DataLogs(FrmTerminal& terminal, std::string logFolder)
    : t_(terminal), logFolder_(std::move(logFolder)) {
    t_.registerMenu("mnuFileALogO", [this] { openLog(LogSlot::Auto); });
    t_.registerToolbar("ALogO", [this] { openLog(LogSlot::Auto); });
    t_.registerMenu("mnuFileALogC", [this] { closeLog(LogSlot::Auto); });
    t_.registerToolbar("ALogC", [this] { closeLog(LogSlot::Auto); });
    t_.registerMenu("mnuOALF", [this] { openLog(LogSlot::Alarm); });
    t_.registerMenu("mnuOpenLog", [this] { openLog(LogSlot::Comm); });
    t_.registerToolbar("OpenLogFile", [this] { openLog(LogSlot::Comm); });
    t_.registerMenu("mnuCloseLog", [this] { closeLog(LogSlot::Comm); });
    t_.registerToolbar("CloseLogFile", [this] { closeLog(LogSlot::Comm); });
    t_.registerMenu("mnuDRecStart", [this] { startRecorder(); });
    t_.registerToolbar("RStart", [this] { startRecorder(); });
    t_.registerMenu("mnuDRecStop", [this] { stopRecorder(); });
    t_.registerToolbar("RStop", [this] { stopRecorder(); });
    t_.Timer5().setOnTick([this] {
        if (recorder_)
            recordDue = true;
    });
    // Nothing is open at start; the recorder waits for the auto log.
    for (const char* key : {"ALogC", "CloseLogFile", "RStart", "RStop"})
        t_.setToolbarEnabled(key, false);
    for (const char* name : {"mnuFileALogC", "mnuCloseLog", "mnuDRecStart", "mnuDRecStop"})
        t_.setMenuEnabled(name, false);
}

DataLogs::~DataLogs() {
    // The timer outlives us inside the main window's logic.
    t_.Timer5().stop();
    t_.Timer5().setOnTick({});
    for (auto& s : slots_)
        if (s.fd >= 0)
            ::close(s.fd);
}

bool DataLogs::isOpen(LogSlot s) const {
    return slot(s).fd >= 0;
}

const std::string& DataLogs::path(LogSlot s) const {
    return slot(s).path;
}

std::string DataLogs::proposedPath(LogSlot s) const {
    std::string name = textsOf(s).defaultName;
    if (logFolder_.empty())
        return name;
    return logFolder_.back() == '/' ? logFolder_ + name : logFolder_ + "/" + name;
}

void DataLogs::fileError(const std::string& text) {
    t_.op().message({text, link::kApplication, Buttons::Ok, Icon::Exclamation, 0});
}

bool DataLogs::refuseIfOpenElsewhere(LogSlot s, const std::string& path,
                                     const std::string& canonical) {
    struct stat chosen {};
    bool exists = ::stat(path.c_str(), &chosen) == 0;
    for (LogSlot other : {LogSlot::Auto, LogSlot::Alarm, LogSlot::Comm}) {
        if (other == s || !isOpen(other))
            continue;
        bool same = slot(other).canonical == canonical;
        // A second name (hard link) of the same file is the same file too.
        struct stat held {};
        if (!same && exists && ::fstat(slot(other).fd, &held) == 0)
            same = held.st_dev == chosen.st_dev && held.st_ino == chosen.st_ino &&
                   S_ISREG(held.st_mode);
        if (same) {
            t_.op().message(
                {"The file " + path + " is already open as the " + textsOf(other).what + ".",
                 kSystemMonitor, Buttons::Ok, Icon::Exclamation, 0});
            return true;
        }
    }
    return false;
}

void DataLogs::openLog(LogSlot s) {
    if (isOpen(s))
        return;
    const auto& texts = textsOf(s);
    for (;;) {
        platform::FileRequest request{.title = texts.chooserTitle,
                                      .filter = texts.filter,
                                      .proposedName = proposedPath(s),
                                      .save = true,
                                      .confirmReplace = false};
        auto chosen = t_.op().chooseFile(request);
        if (!chosen || chosen->empty())
            return;
        const std::string path = *chosen;
        const std::string canonical = canonicalPath(path);
        if (refuseIfOpenElsewhere(s, path, canonical))
            return;

        int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY;
        // A pipe nobody reads would block the open: refuse it with the host's reason instead.
        flags |= O_NONBLOCK;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            Answer a = t_.op().message({"Replace existing file - " + path + "?", kSystemMonitor,
                                        Buttons::YesNoCancel, Icon::Question, 1});
            if (a == Answer::Cancel)
                continue;
            if (a == Answer::Yes)
                flags |= O_TRUNC;
        } else if (errno != ENOENT) {
            fileError(hostError("Cannot open", path, errno));
            return;
        }
        const int fd = ::open(path.c_str(), flags, 0666);
        if (fd < 0) {
            fileError(hostError("Cannot open", path, errno));
            return;
        }
        Slot& sl = slot(s);
        sl.fd = fd;
        sl.path = path;
        sl.canonical = canonicalPath(path);
        sl.pending.clear();
        sl.boxOpen = false;
        // A record cut short when the program was killed ends its line here, so the next record
        // starts a line of its own and stays whole.
        if (s != LogSlot::Comm && !endsLine(path))
            write(s, "\r\n");
        showOpened(s);
        return;
    }
}

void DataLogs::showOpened(LogSlot s) {
    auto& m = t_.model;
    switch (s) {
    case LogSlot::Auto:
        m.frmTerminal.caption = std::string(link::kApplication) + " - " + fileName(path(s));
        t_.setMenuEnabled("mnuFileALogO", false);
        t_.setToolbarEnabled("ALogO", false);
        t_.setMenuEnabled("mnuFileALogC", true);
        t_.setToolbarEnabled("ALogC", true);
        t_.setToolbarEnabled("RStart", true);
        t_.setToolbarEnabled("RStop", false);
        t_.setMenuEnabled("mnuDRecStart", true);
        t_.setMenuEnabled("mnuDRecStop", false);
        break;
    case LogSlot::Alarm:
        t_.setMenuEnabled("mnuOALF", false);
        break;
    case LogSlot::Comm:
        m.frmTerminal.caption = std::string(link::kApplication) + " - " + fileName(path(s));
        t_.setMenuEnabled("mnuOpenLog", false);
        t_.setToolbarEnabled("OpenLogFile", false);
        t_.setMenuEnabled("mnuCloseLog", true);
        t_.setToolbarEnabled("CloseLogFile", true);
        break;
    }
    m.changed();
}

void DataLogs::closeLog(LogSlot s) {
    Slot& sl = slot(s);
    if (s == LogSlot::Auto && recorder_) {
        // The recorder has nothing to write to any more.
        recorder_ = false;
        t_.Timer5().stop();
    }
    if (sl.fd < 0)
        return;
    ::close(sl.fd);
    sl.fd = -1;
    sl.pending.clear();
    sl.boxOpen = false;
    ++sl.generation;
    showClosed(s);
}

void DataLogs::showClosed(LogSlot s) {
    auto& m = t_.model;
    switch (s) {
    case LogSlot::Auto:
        t_.setMenuEnabled("mnuFileALogO", true);
        t_.setToolbarEnabled("ALogO", true);
        t_.setMenuEnabled("mnuFileALogC", false);
        t_.setToolbarEnabled("ALogC", false);
        m.frmTerminal.caption = link::kApplication;
        t_.setToolbarEnabled("RStart", false);
        t_.setToolbarEnabled("RStop", false);
        t_.setMenuEnabled("mnuDRecStart", false);
        t_.setMenuEnabled("mnuDRecStop", false);
        break;
    case LogSlot::Alarm:
        t_.setMenuEnabled("mnuOALF", true);
        break;
    case LogSlot::Comm:
        t_.setMenuEnabled("mnuOpenLog", true);
        t_.setToolbarEnabled("OpenLogFile", true);
        t_.setMenuEnabled("mnuCloseLog", false);
        t_.setToolbarEnabled("CloseLogFile", false);
        m.frmTerminal.caption = "KVT Terminal";
        break;
    }
    m.changed();
}

void DataLogs::closeAll() {
    for (LogSlot s : {LogSlot::Auto, LogSlot::Alarm, LogSlot::Comm})
        closeLog(s);
}

void DataLogs::startRecorder() {
    if (!isOpen(LogSlot::Auto))
        return; // nothing to record into
    recorder(true);
}

void DataLogs::stopRecorder() {
    recorder(false);
}

void DataLogs::recorder(bool on) {
    recorder_ = on;
    if (on)
        t_.Timer5().start();
    else
        t_.Timer5().stop();
    t_.setToolbarEnabled("RStart", !on);
    t_.setToolbarEnabled("RStop", on);
    t_.setMenuEnabled("mnuDRecStart", !on);
    t_.setMenuEnabled("mnuDRecStop", on);
    t_.op().beep();
    t_.model.changed();
}

void DataLogs::writeAuto(const std::string& record) {
    if (isOpen(LogSlot::Auto))
        write(LogSlot::Auto, record + "\r\n");
}

void DataLogs::writeAlarm(const std::string& record) {
    if (isOpen(LogSlot::Alarm))
        write(LogSlot::Alarm, record + "\r\n");
}

void DataLogs::writeComm(const std::string& text) {
    if (isOpen(LogSlot::Comm))
        write(LogSlot::Comm, text);
}

void DataLogs::write(LogSlot s, std::string_view bytes) {
    Slot& sl = slot(s);
    if (sl.fd < 0)
        return;
    sl.pending.append(bytes);
    // A write from a tick that runs while the error box waits is kept for after the answer.
    if (sl.boxOpen)
        return;
    while (sl.fd >= 0 && !sl.pending.empty()) {
        const ssize_t n = ::write(sl.fd, sl.pending.data(), sl.pending.size());
        if (n > 0) {
            sl.pending.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int error = n < 0 ? errno : EIO;
        const unsigned generation = sl.generation;
        sl.boxOpen = true;
        Answer a = t_.op().message({hostError("Cannot write", sl.path, error), link::kApplication,
                                    Buttons::RetryCancel, Icon::Critical, 0});
        if (sl.generation != generation)
            return; // the log was closed while the box waited
        sl.boxOpen = false;
        if (a != Answer::Retry) {
            closeLog(s);
            return;
        }
    }
}

std::string DataLogs::singleUnitRecord(const std::string& number, const std::string& reading) {
    return number + "     " + reading;
}

std::string DataLogs::alarmRecord(const std::string& number, const std::string& reading,
                                  const std::string& alarm, double timeOfDaySeconds,
                                  platform::Date date) {
    double t = timeOfDaySeconds;
    if (!std::isfinite(t) || t < 0)
        t = 0;
    t = std::fmod(t, 86400.0);
    const long whole = static_cast<long>(std::floor(t));
    char when[64];
    std::snprintf(when, sizeof when, "%ld:%ld:%ld %02d %d %04d", whole / 3600, whole / 60 % 60,
                  whole % 60, date.month, date.day, date.year);
    return number + "   " + reading + "   " + alarm + "  " + when;
}

std::string DataLogs::multiUnitField(double flow) {
    return link::formatPattern(flow, "######0.0000") + "   ";
}

} // namespace kvt::monitor
