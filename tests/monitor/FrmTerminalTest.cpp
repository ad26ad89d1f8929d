#include "monitor/FrmTerminal.h"
#include "MonitorFixtures.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace kvt;
using namespace kvt::testing;

namespace {

// What the loader sends the current device (a new record): download, readout, gas name.
Lines currentDeviceAtStartUp(const std::string& prefix, bool rs232) {
    Lines l = DeviceWorld::prefixed(prefix, {"g,0", "MR,100", "u,SLPM", "V,C", "M,A", "r,1,N",
                                             "r,2,N", "k,d", "e", "z,s", "f", "e", "m,s", "v,s",
                                             "r,1,s", "r,2,s", "z,s", "a,s", "t,r"});
    l.push_back(prefix + (rs232 ? "mr,100" : "MR,100"));
    return l;
}

} // namespace

TEST(StartUp, StoredPreferencesAreRestoredUnreadableOnesGiveTheDefaults) {
    struct Case {
        std::string prefs; // key=value ...
        int device, timer4, timer5, port;
        bool panels; // the monitor and information panels shown
    };
    // Values the program never writes; numbers beyond an int are refused as a whole.
    const Case cases[] = {
        {"", 1, 100, 1000, 1, false},
        {"Interface=maybe Echo=yes Time_ss=99 Time_sr=-1 Time_ms=x Time_mr=2.5 Cur_unit=70 "
         "Com_monitor=7 CommPort=1e10 Handshaking=1e10",
         1, 100, 1000, 1, false},
        {"Cur_unit=-3e9 CommPort=-1e300 Handshaking=9e18", 1, 100, 1000, 1, false},
        {"Cur_unit=2 Time_ss=12 Time_sr=0 CommPort=2 Com_monitor=1 Dev_info=1", 2, 2000, 100, 2,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefs);
        TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01"), deviceRecord("2", "02")});
        w.prefs.values.clear();
        for (const auto& kv : DeviceWorld::words(c.prefs)) {
            const auto eq = kv.find('=');
            w.prefs.save(kApp, "Properties", kv.substr(0, eq), kv.substr(eq + 1));
        }
        auto& t = w.terminal();
        t.Form_Load();
        auto& m = t.model;
        EXPECT_EQ(nums(t.currentDevice(), t.Timer4().interval(), t.Timer5().interval(),
                       t.settings.multiSamplingCode, t.settings.multiRecordingCode,
                       w.port.commPort(), w.port.handshaking()),
                  nums(c.device, c.timer4, c.timer5, 1, 4, c.port, 0));
        EXPECT_TRUE(t.rs232() && !t.settings.echo);
        EXPECT_EQ(w.port.settings(), "9600,n,8,1");
        for (bool shown : {t.comMonitor, m.fraSendR.visible, m.menu("mnuMonitor").checked,
                           m.FrmInfo.visible, m.menu("mnuDeviceInfo").checked})
            EXPECT_EQ(shown, c.panels);
        if (c.panels) { // the panel shows the saved text, not the port in use
            EXPECT_EQ(m.sbrStatus1["Comport"].text, "COM Port: Com2");
        }
        EXPECT_EQ(m.sbrStatus1["Address"].text, "Address: 0" + std::to_string(c.device));
        EXPECT_TRUE(m.frmProgressBar.visible && t.loading);
        EXPECT_TRUE(w.op.shown.empty());
        EXPECT_TRUE(w.port.written.empty()); // the loader waits a second
        t.menuClick("mnuDProperties");       // the loader works from the table: no editor yet
        EXPECT_EQ(w.dialogs.devicePropertiesShown, 0);
    }
}

TEST(StartUp, InvalidSavedSettingsStopTheLoadSequence) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    w.prefs.save(kApp, "Properties", "Settings", "9600,q,8,1");
    auto& t = w.terminal();
    t.Form_Load();
    ASSERT_EQ(w.op.texts(), Lines{"Invalid port property value"});
    EXPECT_EQ(w.op.shown[0].icon, platform::Icon::Exclamation);
    EXPECT_TRUE(t.model.cboCurUnit.items.empty());
    w.rt.runFor(5);
    EXPECT_TRUE(w.port.written.empty());
}

TEST(StartUp, LoaderSendsCurrentDeviceThenFullScaleOfEnabledDevicesPastAnUnreadableLine) {
    for (bool rs485 : {true, false}) {
        SCOPED_TRACE(rs485 ? "RS485" : "RS232, unaddressed");
        TerminalWorld w(rs485 ? sim::LineMode::Rs485 : sim::LineMode::Rs232,
                        {deviceRecord("1", "01"), deviceRecord("2", "02", 0),
                         deviceRecord("3", "1A"), deviceRecord("4", "04", 0),
                         deviceRecord("5", "05")});
        w.prefs.save(kApp, "Properties", "Cur_unit", "3");
        // A line that cannot be read is reported; the others load.
        std::ofstream(w.setupPath(), std::ios::app | std::ios::binary) << "garbage line\r\n";
        auto& t = w.start();
        Lines expected = currentDeviceAtStartUp(rs485 ? "!1A," : "", !rs485);
        for (std::string address : {"01", "1A", "05"})
            expected.push_back(rs485 ? "!" + address + ",e" : "e");
        EXPECT_EQ(w.takeWritten(), expected);
        ASSERT_EQ(w.op.shown.size(), 1u);
        EXPECT_NE(w.op.shown[0].text.find("setup.dat.bak"), std::string::npos)
            << w.op.shown[0].text;
        EXPECT_FALSE(w.port.portOpen() || t.model.menu("mnuOpen").checked || t.loading ||
                     t.model.frmProgressBar.visible || t.Timer8().isActive());
        EXPECT_EQ(t.model.sbrStatus1["Interface"].text,
                  std::string("Interface: ") + (rs485 ? "RS485" : "RS232"));
        EXPECT_EQ(t.model.menu("mnuVM4").checked && t.viewSize == 4, rs485);
        EXPECT_EQ(t.model.sbrStatus1["FSF"].text, "FSF: 100");
        EXPECT_EQ(t.model.cboCurUnit.listIndex, 2);
    }
}

TEST(StartUp, SilentCurrentDeviceIsReportedAndSkipped) {
    // Device 05 is in the table but not on the line.
    TerminalWorld w(sim::LineMode::Rs485, {deviceRecord("1", "05"), deviceRecord("2", "01")},
                    {quietDevice("01")});
    auto& t = w.start();
    // The download gives up after two unanswered steps; no readout, no full scale of device 05.
    EXPECT_EQ(w.takeWritten(), (Lines{"!05,g,0", "!05,g,0", "!01,e"}));
    EXPECT_EQ(w.op.texts().back(), kNotAccessible);
    EXPECT_EQ(t.deviceNotAccessible, 0); // cleared again at the end of the loader
    EXPECT_FALSE(w.port.portOpen());
}

TEST(StartUp, PortThatWillNotOpenStopsTheLoader) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    w.port.failOpenWith = "Cannot open /dev/ttyS0: No such file or directory";
    auto& t = w.start();
    EXPECT_EQ(w.op.texts(), Lines{"Cannot open /dev/ttyS0: No such file or directory"});
    EXPECT_TRUE(w.port.written.empty());
    EXPECT_TRUE(t.loading && t.model.frmProgressBar.visible);
}

TEST(MainWindow, PanelsToggleUnbuiltEntriesStayOffExitSavesThreeValues) {
    TerminalWorld w(sim::LineMode::Rs485, {deviceRecord("1", "01"), deviceRecord("2", "02")});
    auto& t = w.start();
    t.cboCurUnit_Click(1);
    t.menuClick("mnuMonitor");
    t.menuClick("mnuDeviceInfo");
    EXPECT_TRUE(t.model.FrmInfo.visible);
    t.menuClick("mnuDeviceInfo");
    EXPECT_FALSE(t.model.FrmInfo.visible || t.model.menu("mnuDeviceInfo").checked);
    // Entries whose features are not built yet cannot be chosen.
    EXPECT_FALSE(t.model.menu("mnuToolsAutoTune").enabled || t.hasMenuHandler("mnuToolsAutoTune"));
    // Choosing the device downloaded its settings: the port is open now and stays so.
    ASSERT_TRUE(w.port.portOpen());
    w.prefs.saves.clear();
    double before = w.rt.now();
    t.menuClick("mnuFileExit");
    EXPECT_NEAR(w.rt.now() - before, 0.6, 0.1);
    EXPECT_TRUE(t.ended && !w.port.portOpen());
    EXPECT_EQ(pref(w, "Cur_unit") + pref(w, "Com_monitor") + pref(w, "Dev_info"), "210");
    ASSERT_GE(w.prefs.saves.size(), 3u);
    EXPECT_EQ(Lines(w.prefs.saves.begin(), w.prefs.saves.begin() + 3),
              (Lines{"Cur_unit", "Com_monitor", "Dev_info"}));
}
