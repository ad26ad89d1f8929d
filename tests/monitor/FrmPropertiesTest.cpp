#include "monitor/FrmProperties.h"
#include "MonitorFixtures.h"
#include "monitor/FrmTerminal.h"
#include "support/ForwardingPort.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

using namespace kvt;
using kvt::monitor::FrmProperties;
using kvt::platform::Buttons;
using kvt::platform::Icon;
using namespace kvt::testing;
using Keys = std::vector<std::string>;

namespace {

const Keys kNineKeys = {"Settings", "CommPort", "Handshaking", "Echo",   "Interface",
                        "Time_ss",  "Time_sr",  "Time_ms",     "Time_mr"};

// The simulated port that can also report odd settings or port numbers and reject a flow control.
class ReportingPort final : public kvt::testing::ForwardingPort {
public:
    using ForwardingPort::ForwardingPort;
    std::optional<std::string> reportSettings;
    std::optional<int> reportPort;
    std::string rejectHandshakingWith;

    int commPort() const override { return reportPort ? *reportPort : inner_.commPort(); }
    std::string settings() const override {
        return reportSettings ? *reportSettings : inner_.settings();
    }
    platform::PortError setHandshaking(int mode) override {
        return rejectHandshakingWith.empty() ? inner_.setHandshaking(mode) : rejectHandshakingWith;
    }
    std::string portAddress(int port) const override { return inner_.portAddress(port); }
};

// Speed, parity, data bits and stop bits as the dialog loaded them.
std::string loaded(const FrmProperties& d) {
    const auto& m = d.model;
    return m.cboSpeed.editText + "|" + m.cboParity.text() + "|" + m.cboDataBits.editText + "|" +
           m.cboStopBits.editText;
}

// One device, RS-232 or RS-485, its port open or not, over a port that can bend what it reports.
struct Bench {
    explicit Bench(bool rs485 = false, bool portOpen = false)
        : w(rs485 ? sim::LineMode::Rs485 : sim::LineMode::Rs232, {deviceRecord("1", "01")}),
          port(w.port), term(monitor::FrmTerminal::Services{port, w.rt, w.op, w.prefs, w.dialogs,
                                                            w.setupPath(), w.folder.path()}),
          t(term) {
        if (rs485)
            t.setInterfaceRs232(false);
        EXPECT_TRUE(!portOpen || t.ports().portToggle());
    }
    FrmProperties& open() {
        d = std::make_unique<FrmProperties>(t);
        d->Form_Load();
        return *d;
    }
    // The one box the dialog showed: the operator is told why OK did not close it.
    void expectRefusal(const std::string& text) {
        ASSERT_EQ(w.op.shown.size(), 1u);
        EXPECT_EQ(boxOf(w.op.shown[0]), (Box{text, kApp, Buttons::Ok, Icon::Exclamation}));
        EXPECT_FALSE(d->closed());
        w.op.shown.clear();
    }
    TerminalWorld w;
    ReportingPort port;
    monitor::FrmTerminal term;
    monitor::FrmTerminal& t;
    std::unique_ptr<FrmProperties> d;
};

} // namespace

TEST(PropertiesLoad, SettingsTextPortAddressFlowEchoTimingAndInterface) {
    Bench b;
    auto [w, t] = std::tie(b.w, b.t);
    ASSERT_TRUE(w.port.setSettings("19200,e,7,1.5").empty());
    w.port.addresses = {{1, "/dev/ttyUSB0"}, {3, "rfc2217://10.0.0.5:4001"}};
    ASSERT_TRUE(w.port.setCommPort(3).empty());
    ASSERT_TRUE(w.port.setHandshaking(2).empty());
    t.settings.echo = true;
    t.settings.singleSamplingCode = 12;
    t.settings.singleRecordingCode = 0;
    t.settings.multiSamplingCode = 5;
    t.settings.multiRecordingCode = 7;

    auto& d = b.open();
    const auto& m = d.model;
    EXPECT_EQ(loaded(d), "19200|Even|7|1.5");
    EXPECT_TRUE(m.cboSpeed.listIndex == 8 && m.cboStopBits.listIndex == 1);
    EXPECT_EQ(m.cboPort.text(), "Com3");
    EXPECT_EQ(d.pendingFlow(), 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(m.optFlow[i].checked, i == 2) << i;
    EXPECT_TRUE(d.pendingEcho() && m.optEcho[1].checked && !m.optEcho[0].checked);
    EXPECT_EQ(m.cboTSs.text() + " " + m.cboTSr.text() + " " + m.cboTMs.text() + " " +
                  m.cboTMr.text() + " " + m.cboInterface.text(),
              "2000 100 500 5000 RS232");

    // The loaded selections ran their handlers: the timers follow the codes at once.
    EXPECT_EQ(nums(t.Timer4().interval(), t.Timer5().interval()), nums(2000, 100));

    d.tabSettings_Click(1);
    d.tabSettings_Click(2); // no such tab
    EXPECT_EQ(m.tabSettings.selected, 1);

    // The address follows the port box; choosing a port does not change it until OK.
    EXPECT_EQ(m.txtPortAddress.caption, "rfc2217://10.0.0.5:4001");
    const std::pair<int, std::string> steps[] = {
        {0, "/dev/ttyUSB0"}, {16, "/dev/ttyUSB0"}, {15, ""}, {2, "rfc2217://10.0.0.5:4001"}};
    for (const auto& [listIndex, shown] : steps) {
        d.cboPort_Click(listIndex);
        EXPECT_EQ(m.txtPortAddress.caption, shown) << listIndex;
    }
    EXPECT_EQ(w.port.commPort(), 3);
}

TEST(PropertiesLoad, ShortOrOddSettingsTextsLoadWithoutReadingPastTheText) {
    Bench b;
    struct Case {
        std::string text, expect;
    };
    const Case cases[] = {
        {"300,m,5,2", "300|Mark|5|2"},
        // The port reports lower case; an upper-case letter is not recognised.
        {"9600,E,8,1", "9600||8|1"},
        {"", "|||"},
        {"9", "|||9"},
        {"n,8,1", "|None|8|1"},
    };
    for (const auto& c : cases) {
        b.port.reportSettings = c.text;
        EXPECT_EQ(loaded(b.open()), c.expect) << '"' << c.text << '"';
    }

    // A parity the box could not show composes an empty letter, which the port refuses.
    b.port.reportSettings = "9600,E,8,1";
    b.open().cmdOK_Click();
    b.expectRefusal("Invalid port property value");
    EXPECT_TRUE(b.w.prefs.saves.empty());
}

TEST(PropertiesLoad, MenuOpensTheLoadedDialogAndAPortOutsideTheListIsKept) {
    Bench b;
    auto [w, t] = std::tie(b.w, b.t);
    b.port.reportPort = 20;
    std::string seen;
    w.dialogs.properties = [&](FrmProperties& d) {
        seen = d.model.cboSpeed.editText + " " + std::to_string(d.model.cboPort.listIndex);
        d.cmdOK_Click();
    };
    t.menuClick("mnuProperties");
    EXPECT_EQ(seen, "9600 -1");
    EXPECT_TRUE(w.op.shown.empty());
    EXPECT_EQ(t.model.sbrStatus1["Comport"].text, "COM Port: Com20");
    EXPECT_EQ(pref(b.w, "CommPort"), "20");
    EXPECT_EQ(w.prefs.saves, kNineKeys);
}

TEST(PropertiesSelections, TakeEffectAtOnceAndCancelKeepsThem) {
    Bench b(true);
    auto [w, t] = std::tie(b.w, b.t);
    t.setMenuEnabled("mnuView", false);

    auto& d = b.open();
    // Opening runs the interface handler.
    EXPECT_EQ(d.model.cboInterface.text(), "RS485");
    EXPECT_TRUE(t.model.menu("mnuView").enabled);

    d.cboInterface_Click(0);
    EXPECT_TRUE(t.rs232() && t.engine().interfaceRs232);
    EXPECT_FALSE(t.model.menu("mnuView").enabled || t.model.menu("mnuAutoM").enabled ||
                 t.model.toolbar["StartAM"].enabled);

    d.cboTSs_Click(12);
    d.cboTSr_Click(8);
    d.cboTMs_Click(0);
    d.cboTMr_Click(12);
    const auto& c = t.settings;
    EXPECT_EQ(nums(t.Timer4().interval(), t.Timer5().interval(), c.singleSamplingCode,
                   c.singleRecordingCode, c.multiSamplingCode, c.multiRecordingCode),
              nums(2000, 10000, 12, 8, 0, 12));
    // Multi-unit codes leave the single-unit timers alone; positions outside the list are ignored.
    d.cboTSs_Click(13);
    d.cboTSr_Click(-1);
    EXPECT_EQ(nums(t.Timer4().interval(), c.singleRecordingCode), nums(2000, 8));

    d.optEcho_Click(1);
    d.optFlow_Click(3);
    d.optFlow_Click(4);
    EXPECT_EQ(d.pendingFlow(), 3);
    d.cmdCancel_Click();
    EXPECT_TRUE(d.closed() && t.rs232() && t.settings.singleSamplingCode == 12);
    EXPECT_FALSE(t.settings.echo || t.model.menu("mnuView").enabled);
    EXPECT_EQ(w.port.handshaking(), 0);
    EXPECT_TRUE(w.prefs.saves.empty());

    // Choosing RS485 at the next opening enables the multi-unit view again.
    auto& d2 = b.open();
    d2.cboInterface_Click(1);
    EXPECT_FALSE(t.engine().interfaceRs232);
    // Started on RS-232 neither view was checked: now both can be chosen and "Four" is.
    for (const char* menu : {"mnuView", "mnuAutoM", "mnuVM4", "mnuVM8"})
        EXPECT_TRUE(t.model.menu(menu).enabled) << menu;
    EXPECT_TRUE(t.model.menu("mnuVM4").checked && !t.model.menu("mnuVM8").checked);
}

TEST(PropertiesOk, SamePortAppliesSettingsAndFlowAndSavesNineKeysInOrderAnotherReopens) {
    Bench b(false, true);
    auto [w, t] = std::tie(b.w, b.t);

    auto& d = b.open();
    d.cboSpeed_Change(" 19200 ");
    d.cboParity_Click(1);
    d.cboDataBits_Click(3);
    d.cboStopBits_Change("2");
    d.optFlow_Click(1);
    d.optEcho_Click(1);
    d.cboTMs_Click(3);
    d.cmdOK_Click();

    EXPECT_TRUE(w.op.shown.empty() && d.closed() && w.port.portOpen() && t.settings.echo);
    EXPECT_EQ(w.port.opens, 1); // not closed and reopened
    EXPECT_EQ(w.port.handshaking(), 1);

    EXPECT_EQ(w.prefs.saves, kNineKeys);
    // The settings as the port reports them.
    const Keys values = {"19200,o,7,2", "1", "1", "True", "True", "1", "4", "3", "4"};
    for (std::size_t i = 0; i < kNineKeys.size(); ++i)
        EXPECT_EQ(pref(b.w, kNineKeys[i]), values[i]) << kNineKeys[i];

    // A second OK on a closed dialog does nothing.
    d.cmdOK_Click();
    EXPECT_EQ(w.prefs.saves.size(), 9u);

    // Another port while open: closed and opened again on the new one.
    auto& d2 = b.open();
    d2.cboPort_Click(1);
    d2.cmdOK_Click();
    EXPECT_TRUE(d2.closed() && w.op.shown.empty() && w.port.portOpen());
    EXPECT_EQ(nums(w.port.commPort(), w.port.opens), nums(2, 2));
    EXPECT_TRUE(t.model.menu("mnuOpen").checked && t.model.toolbar["TransmitTextFile"].enabled);
    EXPECT_EQ(pref(b.w, "CommPort"), "2");
}

TEST(PropertiesOk, RefusalsSaveNothingAndAWorkingPortChosenWhileClosedLeavesItClosed) {
    Bench b(false, true);
    auto [w, t] = std::tie(b.w, b.t);
    w.port.failOpenWith = "Permission denied: /dev/ttyS4";
    auto& d = b.open();
    d.optEcho_Click(1);
    d.optFlow_Click(2);
    d.cboPort_Click(4);
    d.cmdOK_Click();
    b.expectRefusal("Permission denied: /dev/ttyS4");
    EXPECT_EQ(w.port.commPort(), 1); // the old number back
    EXPECT_TRUE(t.settings.echo && w.prefs.saves.empty());
    EXPECT_EQ(w.port.handshaking(), 0); // the sequence stopped before the flow control
    // The port ended closed: the main window says so.
    EXPECT_FALSE(w.port.portOpen() || t.model.menu("mnuOpen").checked);

    // Settings the port rejects: the new port number stays, the panels do not follow.
    w.port.failOpenWith.clear();
    w.port.rejectSettingsWith = "Invalid port property value";
    const std::string panels =
        t.model.sbrStatus1["Comport"].text + t.model.sbrStatus1["Interface"].text;
    d.cboPort_Click(3);
    d.cboInterface_Click(1);
    d.cmdOK_Click();
    b.expectRefusal("Invalid port property value");
    EXPECT_EQ(w.port.commPort(), 4);
    EXPECT_EQ(w.port.handshaking(), 0);
    EXPECT_EQ(t.model.sbrStatus1["Comport"].text + t.model.sbrStatus1["Interface"].text, panels);
    EXPECT_FALSE(t.rs232()); // chosen in the box: that took effect at once

    // A flow control the port rejects: the settings were applied before it.
    w.port.rejectSettingsWith.clear();
    b.port.rejectHandshakingWith = "Invalid port property value";
    d.cboSpeed_Click(13);
    d.cmdOK_Click();
    b.expectRefusal("Invalid port property value");
    EXPECT_EQ(b.port.settings(), "115200,n,8,1");
    EXPECT_TRUE(w.prefs.saves.empty());

    // A working port while closed: all saved, still closed, marks a port update would set kept.
    b.port.rejectHandshakingWith.clear();
    t.model.menu("mnuOpen").checked = true;
    t.model.toolbar["TransmitTextFile"].enabled = true;
    const int opens = w.port.opens;
    d.cboPort_Click(1);
    d.cboPort_Click(16); // not in the list
    d.cmdOK_Click();
    EXPECT_TRUE(d.closed());
    EXPECT_EQ(nums(w.port.commPort(), w.port.handshaking(), w.port.opens), nums(2, 2, opens));
    EXPECT_TRUE(t.model.menu("mnuOpen").checked && t.model.toolbar["TransmitTextFile"].enabled);
    EXPECT_EQ(t.model.sbrStatus1["Comport"].text + "|" + t.model.sbrStatus1["Interface"].text,
              "COM Port: Com2|Interface: RS485");
    EXPECT_EQ(pref(b.w, "CommPort") + pref(b.w, "Interface"), "2False");
    EXPECT_EQ(w.prefs.saves, kNineKeys);
}
