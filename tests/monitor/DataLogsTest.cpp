#include "monitor/DataLogs.h"
#include "MonitorFixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace kvt;
using kvt::monitor::DataLogs;
using kvt::monitor::LogSlot;
using kvt::platform::Answer;
using kvt::platform::Buttons;
using kvt::platform::Icon;
using kvt::test::readFile;
using kvt::testing::Box;
using kvt::testing::boxOf;
using kvt::testing::kApp;
using kvt::testing::kSystemMonitor;

namespace {

struct SlotCase {
    LogSlot slot;
    const char *openMenu, *openButton, *closeMenu, *closeButton; // "": none
    const char *chooserTitle, *filter, *defaultName;
    const char* closedTitle; // "": the window title does not follow this log
};
const SlotCase kSlots[] = {
    {LogSlot::Auto, "mnuFileALogO", "ALogO", "mnuFileALogC", "ALogC", "Open Auto Log File",
     "Log Files (*.LOG)|*.log|All Files (*.*)|*.*", "My_ALog1.log", "KVT Control Terminal"},
    {LogSlot::Alarm, "mnuOALF", "", "", "", "Open Alarm Log File",
     "Log Files (*.ALG)|*.alg|All Files (*.*)|*.*", "My_Alm1.alg", ""},
    {LogSlot::Comm, "mnuOpenLog", "OpenLogFile", "mnuCloseLog", "CloseLogFile",
     "Open Communications Log File", "Log Files (*.TLG)|*.tlg|All Files (*.*)|*.*", "My_TLog1.tlg",
     "KVT Terminal"},
};
const SlotCase& caseOf(LogSlot s) {
    return kSlots[static_cast<int>(s)];
}

// A started terminal on one RS-232 device.
struct LogsWorld {
    LogsWorld()
        : w(sim::LineMode::Rs232, {kvt::testing::deviceRecord("1", "01")}), t(w.start()),
          logs(t.logs()) {
        w.op.shown.clear();
    }
    std::string file(const std::string& name) const { return w.folder.file(name); }
    // Opens by the slot's menu entry; `replace` answers the replace prompt.
    void open(LogSlot s, const std::string& path, std::optional<Answer> replace = {}) {
        w.op.choose(path);
        if (replace)
            w.op.answer(*replace);
        t.menuClick(caseOf(s).openMenu);
    }
    void write(LogSlot s, const std::string& text) {
        s == LogSlot::Auto    ? logs.writeAuto(text)
        : s == LogSlot::Alarm ? logs.writeAlarm(text)
                              : logs.writeComm(text);
    }
    bool on(const std::string& entry) {
        return t.model.menus.count(entry) ? t.model.menu(entry).enabled
                                          : t.model.toolbar[entry].enabled;
    }
    kvt::testing::TerminalWorld w;
    monitor::FrmTerminal& t;
    DataLogs& logs;
};

// The entries that follow a slot's open state; the recorder can start exactly while the auto log
// is open.
void expectEntries(LogsWorld& x, const SlotCase& c, bool open) {
    EXPECT_EQ(x.logs.isOpen(c.slot), open);
    for (const char* e : {c.openMenu, c.openButton})
        EXPECT_TRUE(!*e || x.on(e) == !open) << e;
    for (const char* e : {c.closeMenu, c.closeButton})
        EXPECT_TRUE(!*e || x.on(e) == open) << e;
    EXPECT_EQ(x.logs.alarmLogOpen(), open && c.slot == LogSlot::Alarm);
    if (c.slot == LogSlot::Auto) {
        EXPECT_EQ(x.on("RStart") && x.on("mnuDRecStart"), open);
        EXPECT_FALSE(x.on("RStop") || x.on("mnuDRecStop"));
    }
}

} // namespace

TEST(DataLogs, EachSlotOpensAndClosesByMenuAndButton) {
    for (const auto& c : kSlots) {
        for (bool button : {false, true}) {
            if (button && !*c.openButton)
                continue;
            SCOPED_TRACE(button ? c.openButton : c.openMenu);
            LogsWorld x;
            const std::string path = x.file("run.log");
            x.w.op.choose(path);
            button ? x.t.toolbarClick(c.openButton) : x.t.menuClick(c.openMenu);
            ASSERT_EQ(x.w.op.fileRequests.size(), 1u);
            const auto& r = x.w.op.fileRequests[0];
            EXPECT_EQ(r.title + "|" + r.filter + "|" + r.proposedName,
                      std::string(c.chooserTitle) + "|" + c.filter + "|" + x.file(c.defaultName));
            EXPECT_FALSE(r.confirmReplace); // we ask replace-or-append ourselves
            expectEntries(x, c, true);
            EXPECT_EQ(x.t.model.frmTerminal.caption,
                      std::string(kApp) + (*c.closedTitle ? " - run.log" : ""));

            x.write(c.slot, "kept");
            if (button)
                x.t.toolbarClick(c.closeButton);
            else if (*c.closeMenu)
                x.t.menuClick(c.closeMenu);
            else
                x.logs.closeLog(c.slot);
            expectEntries(x, c, false);
            EXPECT_EQ(x.t.model.frmTerminal.caption, *c.closedTitle ? c.closedTitle : kApp);
            x.write(c.slot, "lost"); // a closed log takes nothing
            EXPECT_EQ(readFile(path).substr(0, 4), "kept");
            EXPECT_EQ(readFile(path).find("lost"), std::string::npos);
        }
    }
}

TEST(DataLogs, ExistingFileIsReplacedAppendedOrChosenAgain) {
    // Answers, files chosen, and the contents afterwards of old.log and new.log.
    const std::tuple<std::vector<Answer>, std::vector<std::optional<std::string>>, std::string,
                     std::string>
        cases[] = {
            {{Answer::Yes}, {"old.log"}, "new\r\n", ""},
            {{Answer::No}, {"old.log"}, "old\r\nnew\r\n", ""},
            {{Answer::Cancel}, {"old.log", "new.log"}, "old\r\n", "new\r\n"},
            {{Answer::Cancel}, {"old.log", std::nullopt}, "old\r\n", ""},
            {{Answer::Cancel, Answer::No}, {"old.log", "old.log"}, "old\r\nnew\r\n", ""},
            {{}, {std::nullopt}, "old\r\n", ""},
        };
    for (const auto& [prompts, choices, old, chosenAgain] : cases) {
        SCOPED_TRACE(old + chosenAgain);
        LogsWorld x;
        std::ofstream(x.file("old.log"), std::ios::binary) << "old\r\n";
        for (const auto& choice : choices)
            x.w.op.choose(choice ? std::optional(x.file(*choice)) : std::nullopt);
        for (Answer a : prompts)
            x.w.op.answer(a);
        x.t.menuClick("mnuFileALogO");
        EXPECT_EQ(x.w.op.unansweredLeft(), 0u);
        ASSERT_EQ(x.w.op.shown.size(), prompts.size());
        for (const auto& box : x.w.op.shown)
            EXPECT_EQ(boxOf(box), (Box{"Replace existing file - " + x.file("old.log") + "?",
                                       kSystemMonitor, Buttons::YesNoCancel, Icon::Question}));
        x.logs.writeAuto("new");
        EXPECT_EQ(readFile(x.file("old.log")), old);
        EXPECT_EQ(readFile(x.file("new.log")), chosenAgain);
    }
}

TEST(DataLogs, RecordsReachTheFileByteExact) {
    const double nineFiveThree = 9 * 3600 + 5 * 60 + 3;
    const std::string latin1 = "\xB0"
                               "C \xFF";
    struct Case {
        LogSlot slot;
        std::string record, onDisk;
        std::string before = ""; // appended to
    };
    const Case cases[] = {
        {LogSlot::Auto, DataLogs::singleUnitRecord("12", "  25.300"), "12       25.300\r\n"},
        {LogSlot::Auto, "", "\r\n"}, // a multi-unit pass over disabled devices only
        {LogSlot::Auto, DataLogs::multiUnitField(1.5) + DataLogs::multiUnitField(-2.25),
         "1.5000   -2.2500   \r\n"},
        {LogSlot::Auto, DataLogs::multiUnitField(-0.00001) + DataLogs::multiUnitField(1234567),
         "0.0000   1234567.0000   \r\n"},
        {LogSlot::Alarm, DataLogs::alarmRecord("1", "50.0", "H", nineFiveThree, {2026, 12, 5}),
         "1   50.0   H  9:5:3 12 5 2026\r\n"},
        {LogSlot::Alarm, DataLogs::alarmRecord("3", "", "L", nineFiveThree, {2026, 12, 5}),
         "3      L  9:5:3 12 5 2026\r\n"},
        // Seconds are cut, never rounded up to a 60th.
        {LogSlot::Alarm, DataLogs::alarmRecord("64", " 0.1", "L", 86399.999, {2027, 1, 31}),
         "64    0.1   L  23:59:59 01 31 2027\r\n"},
        {LogSlot::Comm, "F 12.5\r\n" + latin1, "F 12.5\r\n" + latin1}, // as is
        // A record cut by a kill keeps its own line; the communications log is a plain stream.
        {LogSlot::Auto, "2  7", "1  12.5\r\n1  12.\r\n2  7\r\n", "1  12.5\r\n1  12."},
        {LogSlot::Auto, "2  7", "1  12.5\r\n2  7\r\n", "1  12.5\r\n"},
        {LogSlot::Alarm, "2  7", "1  99  HIGH\r\n2  7\r\n", "1  99  HIGH"},
        {LogSlot::Comm, "2  7", "GF 122  7", "GF 12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.onDisk);
        LogsWorld x;
        std::ofstream(x.file("w.log"), std::ios::binary) << c.before;
        x.open(c.slot, x.file("w.log"), Answer::No); // append
        x.write(c.slot, c.record);
        EXPECT_EQ(readFile(x.file("w.log")), c.onDisk); // there before any close
    }
}

TEST(DataLogs, RecorderRunsOnlyWithTheAutoLogAndRaisesOneDueFlag) {
    LogsWorld x;
    auto& timer = x.t.Timer5();
    x.logs.startRecorder();
    EXPECT_FALSE(x.logs.recorderOn() || timer.isActive() || x.w.op.beeps);

    x.open(LogSlot::Auto, x.file("rec.log"));
    const std::pair<const char*, bool> clicks[] = {
        {"RStart", true},       {"RStop", false},       {"mnuDRecStart", true},
        {"mnuDRecStop", false}, {"mnuDRecStart", true}, {"RStart", true}, // disabled while on
    };
    int beeps = 0;
    for (auto [entry, running] : clicks) {
        SCOPED_TRACE(entry);
        beeps += x.logs.recorderOn() != running;
        x.t.model.menus.count(entry) ? x.t.menuClick(entry) : x.t.toolbarClick(entry);
        EXPECT_EQ(x.logs.recorderOn(), running);
        EXPECT_EQ(timer.isActive(), running);
        EXPECT_EQ(x.on("RStart") && x.on("mnuDRecStart"), !running);
        EXPECT_EQ(x.on("RStop") && x.on("mnuDRecStop"), running);
        EXPECT_EQ(x.w.op.beeps, beeps);
    }

    // Two ticks before one writing opportunity give one record.
    auto opportunity = [&x] {
        if (x.logs.recorderOn() && x.logs.recordDue) {
            x.logs.writeAuto("r");
            x.logs.recordDue = false;
        }
    };
    const double tick = timer.interval() / 1000.0;
    x.w.rt.runFor(tick * 2.5);
    opportunity();
    opportunity();
    x.w.rt.runFor(tick);
    opportunity();
    EXPECT_EQ(readFile(x.file("rec.log")), "r\r\nr\r\n");

    // Closing the auto log stops the recorder for good.
    x.t.menuClick("mnuFileALogC");
    EXPECT_FALSE(x.logs.recorderOn() || timer.isActive());
    x.w.rt.runFor(tick * 3);
    EXPECT_FALSE(x.logs.recordDue);
}

TEST(DataLogs, WriteErrorOffersRetryAndCancelOnceAtATime) {
    const std::pair<LogSlot, int> cases[] = {
        {LogSlot::Auto, 0}, {LogSlot::Auto, 2}, {LogSlot::Alarm, 0}, {LogSlot::Comm, 1}};
    for (auto [slot, retries] : cases) {
        SCOPED_TRACE(caseOf(slot).openMenu + std::to_string(retries));
        LogsWorld x;
        x.open(slot, "/dev/full", Answer::No); // every write fails for want of space
        if (slot == LogSlot::Auto)
            x.t.toolbarClick("RStart");
        x.w.op.shown.clear(); // the replace prompt
        // Each box stays up half a second, and a tick in that time writes again.
        for (int i = 0; i <= retries; ++i) {
            x.w.op.answer(i < retries ? Answer::Retry : Answer::Cancel, 0.5);
            x.w.rt.schedule(0.1 + 0.5 * i, [&x, s = slot] { x.write(s, "tick"); });
        }
        x.write(slot, "record");
        ASSERT_EQ(x.w.op.shown.size(), static_cast<std::size_t>(retries + 1));
        for (const auto& box : x.w.op.shown)
            EXPECT_EQ(boxOf(box), (Box{"Cannot write /dev/full: No space left on device", kApp,
                                       Buttons::RetryCancel, Icon::Critical}));
        // Cancel closed the log as its close entry does.
        expectEntries(x, caseOf(slot), false);
        EXPECT_FALSE(x.logs.recorderOn());
    }
}

TEST(DataLogs, RetryWritesWhatIsLeftAndWhatCameMeanwhile) {
    // A pipe with a slow reader: a large text fills it part way, then the write fails.
    LogsWorld x;
    const std::string fifo = x.file("slow.tlg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string received;
    auto drain = [&] {
        char buf[65536];
        for (ssize_t n; (n = ::read(reader, buf, sizeof buf)) > 0;)
            received.append(buf, static_cast<std::size_t>(n));
    };
    x.open(LogSlot::Comm, fifo, Answer::No);
    std::string big;
    for (int i = 0; big.size() < 300000; ++i)
        big += std::to_string(i) + ",";
    // While the first box is up a tick writes; the reader catches up while each box is up.
    x.w.rt.schedule(0.1, [&] { x.logs.writeComm("[tick]"); });
    for (int i = 0; i < 10; ++i) {
        x.w.op.answer(Answer::Retry, 1.0);
        x.w.rt.schedule(0.5 + i, drain);
    }
    x.logs.writeComm(big);
    drain();
    EXPECT_GE(x.w.op.shown.size(), 1u);
    EXPECT_EQ(received, big + "[tick]"); // every byte once, in order
    EXPECT_TRUE(x.logs.isOpen(LogSlot::Comm));
    x.logs.closeLog(LogSlot::Comm);
    ::close(reader);
}

TEST(DataLogs, OneFileCannotBeOpenInTwoSlots) {
    // The same path once tidied, the same file under another name, another file.
    const std::pair<const char*, bool> spellings[] = {
        {"sub/../a.log", true}, {"hard.log", true}, {"b.log", false}};
    for (auto [spelling, refused] : spellings) {
        SCOPED_TRACE(spelling);
        LogsWorld x;
        const std::string a = x.file("a.log");
        x.open(LogSlot::Auto, a);
        x.logs.writeAuto("first");
        ::mkdir(x.file("sub").c_str(), 0700);
        ASSERT_EQ(::link(a.c_str(), x.file("hard.log").c_str()), 0);

        const std::string path = x.file(spelling);
        x.open(LogSlot::Comm, path);
        EXPECT_EQ(x.logs.isOpen(LogSlot::Comm), !refused);
        // Refused before any replace prompt; the first log keeps its content and stays open.
        const std::vector<std::string> told{"The file " + path +
                                            " is already open as the auto log."};
        EXPECT_EQ(x.w.op.texts(), refused ? told : std::vector<std::string>{});
        EXPECT_EQ(readFile(a), "first\r\n");
        EXPECT_TRUE(x.logs.isOpen(LogSlot::Auto));
    }
}

TEST(DataLogs, OpenFailureOrProgramEndLeavesTheSlotsClosed) {
    LogsWorld x;
    ::mkfifo(x.file("pipe.log").c_str(), 0600);
    // A pipe nobody reads is refused at once rather than waited on.
    for (auto [name, exists, reason] :
         {std::tuple{"no/such.log", false, "No such file or directory"},
          {"pipe.log", true, "No such device or address"}}) {
        x.w.op.shown.clear();
        x.open(LogSlot::Auto, x.file(name), exists ? std::optional(Answer::No) : std::nullopt);
        ASSERT_EQ(x.w.op.shown.size(), exists ? 2u : 1u);
        EXPECT_EQ(x.w.op.shown.back().text, "Cannot open " + x.file(name) + ": " + reason);
        EXPECT_EQ(x.w.op.shown.back().icon, Icon::Exclamation);
        expectEntries(x, kSlots[0], false);
    }
    for (const auto& c : kSlots)
        x.open(c.slot, x.file(c.defaultName));
    x.t.toolbarClick("RStart");
    EXPECT_TRUE(x.t.mnuFileExit_Click());
    for (const auto& c : kSlots)
        EXPECT_FALSE(x.logs.isOpen(c.slot)) << c.openMenu;
    EXPECT_FALSE(x.logs.recorderOn());
    EXPECT_EQ(x.w.op.unansweredLeft(), 0u);
}
