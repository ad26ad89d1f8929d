// Monitoring with the real Qt port, runtime and main window against kvt-devsim on a pty.

#include "support/PtyRig.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

struct Case {
    const char* what;
    std::vector<std::string> simArgs; // and 115200 baud
    int devices;
    const char* mode;  // the menu entry that starts monitoring
    const char* frame; // the area it shows
    int polls;         // at least this many readings a device in 1.5 s
};

// Devices at 10, 20, ... SLPM; each gets its set point once, then readings that reach its label.
void monitorUnits(const Case& c) {
    SCOPED_TRACE(c.what);
    std::vector<double> setPoints;
    for (int i = 1; i <= c.devices; ++i)
        setPoints.push_back(10.0 * i);
    std::vector<std::string> simArgs = c.simArgs;
    simArgs.insert(simArgs.end(), {"--baud", "115200"});
    kvt::testing::PtyRig r({.simArgs = simArgs,
                            .devices = kvt::testing::monitoredDevices(setPoints),
                            .fastPolls = true,
                            .window = true});
    if (c.devices > 1)
        r.t->menuClick("mnuVM8");
    r.t->menuClick(c.mode);
    QTest::qWait(1500);
    for (int i = 1; i <= c.devices; ++i) {
        const std::string head = c.devices > 1 ? "!0" + std::to_string(i) + "," : "";
        EXPECT_EQ(r.count(head + "s," + std::to_string(10 * i) + ".000"), 1) << i;
        EXPECT_GE(r.count(head + "f"), c.polls) << i;
        // The window shows a reading a moment after it came.
        const std::string name =
            c.devices > 1 ? "lblMD8RE(" + std::to_string(i - 1) + ")" : "lblRead";
        auto* label = r.window->findChild<QLabel*>(QString::fromStdString(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !label->text().isEmpty(); }, 1000)) << i;
    }
    EXPECT_TRUE(r.window->findChild<QWidget*>(c.frame)->isVisible());
    r.t->menuClick(c.mode);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !r.port.portOpen(); }, 3000));
    EXPECT_TRUE(r.op.shown.empty());
}

} // namespace

TEST(MonitoringEndToEnd, SingleAndMultiUnitOverARealPort) {
    monitorUnits({"single", {}, 1, "mnuAutoS", "fraSD", 8});
    monitorUnits({"multi", {"--rs485", "01,02,03,04,05,06"}, 6, "mnuAutoM", "fraMulti8", 2});
}
