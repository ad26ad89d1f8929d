#include "monitor/DeviceSync.h"
#include "MonitorFixtures.h"

#include <gtest/gtest.h>

using namespace kvt;
using namespace kvt::testing;
using kvt::platform::Buttons;
using kvt::platform::Icon;

namespace {

using World = DeviceWorld;
const Lines kReadout = {"f", "e", "m,s", "v,s", "r,1,s", "r,2,s", "z,s", "a,s", "t,r"};

} // namespace

TEST(StatusReadout, ReadsEverySettingBackAndKeepsWhatIsNotAnswered) {
    sim::DeviceOptions o;
    o.fullScaleSlpm = 50;
    World x(kRs485, deviceRecord("7", "1A"), o);
    // The device is changed behind the terminal's back.
    for (const char* body : {"v,o", "m,d", "r,1,h", "r,2,r", "z,d", "t,s,n"})
        x.w.bus.device(0).handle(body, x.w.rt.now());

    x.t.menuClick("mnuDeviceSinhronizeRx");
    EXPECT_EQ(x.written(), x.lines(kReadout));
    const auto& r = x.rec();
    EXPECT_EQ(nums(r.ValveMode, r.InputMode, r.Relay1Action, r.Relay2Action, x.status().FullScale),
              nums(2, 1, 2, 4, 50));
    EXPECT_EQ(x.info("lblFullScale"), "Full Scale Range :   50  SLPM");
    EXPECT_TRUE(x.w.op.shown.empty());
    // What was read is saved, so the next start-up download does not undo it.
    EXPECT_EQ(x.saved(), x.rec());

    x.t.toolbarClick("HangUpPhone");
    EXPECT_EQ(x.written().size(), 9u);

    // A device answering only Flow: every field and label stays as it was.
    x.status() = {.FullScale = 42, .AutoZeroState = 1, .AlarmState = 2, .Total = 77};
    const auto before = x.t.model.info;
    const auto recBefore = x.rec();
    const auto statusBefore = x.status();
    x.w.port.rewriteReply = [&](std::string reply) {
        return x.w.bus.commandLog().back() == "!1A,f" ? reply : std::string{};
    };
    x.t.menuClick("mnuDeviceSinhronizeRx");
    EXPECT_EQ(x.written(), x.lines(kReadout));
    EXPECT_EQ(x.rec(), recBefore);
    auto statusAfter = x.status();
    statusAfter.Flow = statusBefore.Flow; // the one value answered
    EXPECT_EQ(statusAfter, statusBefore);
    for (const auto& [name, control] : before)
        EXPECT_EQ(x.t.model.info[name].caption, control.caption) << name;
    // Only the no-reply notices; the readout itself finished.
    EXPECT_EQ(World::count(x.w.op.texts(), "No connection!"), 8);
    EXPECT_EQ(World::count(x.w.op.texts(), kNotAccessible), 0);
}

TEST(ReplyOwnership, MenuCommandsDuringADownloadDoNotBreakIt) {
    World x(kRs485);
    // Two Flow clicks while the download waits for its answers.
    for (double at : {0.02, 0.05})
        x.w.rt.schedule(at, [&] { x.t.menuClick("mnuCommandsFlow"); });
    x.t.menuClick("mnuDeviceSinhronizeTr");
    x.w.rt.runUntilIdle(10);
    EXPECT_TRUE(x.w.op.shown.empty()) << x.w.op.shown.front().text;
    EXPECT_EQ(x.t.deviceNotAccessible, 0);
    EXPECT_EQ(World::count(x.written(), "!1A,f"), 2);
}

TEST(StatusReadout, FlowUnansweredTwiceStopsWithTheMessage) {
    World x(kRs232);
    // One silence is retried and the readout goes on.
    x.silence({{"f", 1}});
    x.t.sync().statusReadout(1);
    // After start-up the port is closed and the readout does not open it: the device is not there.
    EXPECT_TRUE(x.written().empty());
    EXPECT_EQ(x.w.op.texts(), (Lines{kNotAccessible}));
    ASSERT_TRUE(x.t.ports().openIfClosed());
    x.t.sync().statusReadout(1);
    Lines lines = x.written();
    lines.resize(3);
    EXPECT_EQ(lines, (Lines{"f", "f", "e"}));

    x.w.port.dropReplies = true;
    x.w.op.shown.clear();
    x.t.sync().statusReadout(1);
    EXPECT_EQ(x.written(), (Lines{"f", "f"}));
    ASSERT_EQ(x.w.op.shown.size(), 3u);
    EXPECT_EQ(boxOf(x.w.op.shown[2]),
              (Box{kNotAccessible, kSystemMonitor, Buttons::Ok, Icon::Information}));
}

// The loader's tests send a record with the totalizer and alarm off.
TEST(Download, SendsTheWholeRecordInOrder) {
    World x(kRs485);
    // Stop total 0 is not below zero: still sent.
    x.rec() = recordOf(R"("7","1A","KVT",2,3,1,1,1,0,1,12.5,0,1,1,5,2.5,1,2,4,2,1,0.75,1)");
    x.t.menuClick("mnuDeviceSinhronizeTr");
    EXPECT_EQ(x.written(),
              x.lines({"g,2", "MR,100", "u,MLPM", "V,A", "M,D", "t,s,f,12.5", "t,p,t,0,C", "a,h,5",
                       "a,l,2.5", "r,1,H", "r,2,R", "k,e,0.75", "e", "z,s"}));
    EXPECT_EQ(x.info("lblGas"), "Gas Table (1-10)  :   3   Argon");
    EXPECT_EQ(x.t.deviceNotAccessible, 0);
    EXPECT_TRUE(x.w.op.shown.empty());
}

TEST(Download, OneFailureIsToleratedTheSecondStops) {
    {
        SCOPED_TRACE("unit and relay 1 unanswered");
        World x(kRs232);
        x.silence({{"u,SLPM", 1}, {"r,1,N", 1}});
        x.t.menuClick("mnuDeviceSinhronizeTr");
        EXPECT_EQ(x.written(), (Lines{"g,0", "MR,100", "u,SLPM", "V,C", "M,A", "r,1,N"}));
        EXPECT_EQ(x.t.deviceNotAccessible, 1);
        EXPECT_EQ(World::count(x.w.op.texts(), kNotAccessible), 1);
    }
    {
        SCOPED_TRACE("gas answered on the retry resets the count");
        World x(kRs485);
        x.t.deviceNotAccessible = 1; // cleared by the download
        x.silence({{"g,0", 1}, {"u,SLPM", 1}});
        x.t.menuClick("mnuDeviceSinhronizeTr");
        EXPECT_EQ(x.written(), x.lines({"g,0", "g,0", "MR,100", "u,SLPM", "V,C", "M,A", "r,1,N",
                                        "r,2,N", "k,d", "e", "z,s"}));
        EXPECT_EQ(x.t.deviceNotAccessible, 0);
        EXPECT_EQ(World::count(x.w.op.texts(), kNotAccessible), 0);
    }
    {
        SCOPED_TRACE("a wrong answer counts like none");
        World x(kRs232);
        x.w.port.rewriteReply = [&](std::string reply) {
            const std::string& line = x.w.bus.commandLog().back();
            return line == "V,C" || line == "k,d" ? std::string("?\r\n>") : reply;
        };
        x.t.menuClick("mnuDeviceSinhronizeTr");
        EXPECT_EQ(x.written(),
                  (Lines{"g,0", "MR,100", "u,SLPM", "V,C", "M,A", "r,1,N", "r,2,N", "k,d"}));
        EXPECT_EQ(x.t.deviceNotAccessible, 1);
    }
    {
        SCOPED_TRACE("port will not open");
        World x(kRs232);
        x.w.port.failOpenWith = "Port not found";
        x.t.menuClick("mnuDeviceSinhronizeTr");
        EXPECT_TRUE(x.written().empty());
        EXPECT_EQ(x.w.op.texts(), (Lines{"Port not found"}));
    }
}

TEST(RelayAssignment, RewritesSetupOnlyWhenTheCodeChanges) {
    World x(kRs485);
    // An unsaved change elsewhere in the record shows whether setup.dat was rewritten.
    x.rec().Name = "Marker";

    x.t.menuClick("mnuOptionsRelay1NA");
    EXPECT_EQ(x.written(), x.lines({"r,1,n"}));
    EXPECT_EQ(x.info("lblRelay1"), "Relay #1 Status  :   No Action");
    EXPECT_EQ(x.setupText().find("Marker"), std::string::npos);

    // A wrong answer changes nothing.
    x.w.port.rewriteReply = [](std::string) { return std::string("RX\r\n"); };
    x.t.menuClick("mnuOptionsRelay2AL");
    x.w.port.rewriteReply = nullptr;
    EXPECT_EQ(x.rec().Relay2Action, 0);
    EXPECT_EQ(x.setupText().find("Marker"), std::string::npos);

    x.t.menuClick("mnuOptionsRelay2AR");
    EXPECT_EQ(x.written(), x.lines({"r,2,l", "r,2,r"}));
    EXPECT_EQ(x.rec().Relay2Action, 4);
    EXPECT_EQ(x.info("lblRelay2"), "Relay #2 Status  :   Range between H & L");
    EXPECT_FALSE(x.t.engine().tableChanged);
    EXPECT_EQ(x.saved(), x.rec());

    // The status entry reads what the device holds.
    x.w.bus.device(0).handle("r,1,t", x.w.rt.now());
    x.t.menuClick("mnuOptionsRelay1Status");
    EXPECT_EQ(x.written(), x.lines({"r,1,s"}));
    EXPECT_EQ(nums(x.rec().Relay1Action, x.saved().Relay1Action), nums(1, 1));
    EXPECT_EQ(x.info("lblRelay1"), "Relay #1 Status  :   Totalizer > limit");
}

TEST(FillDeviceInfo, EveryLabelFromTheRecordAndThoseLeftAlone) {
    const auto r =
        recordOf(R"("7","1A","Line 3",4,5,1,1,2,0,1,12.5,1500.25,0,0,3.5,0.1,15,1,3,2,1,0.8,1)");
    World x(kRs485, r);
    x.status().FullScale = 200;
    x.status().AutoZeroState = -1;

    x.t.sync().FillDeviceInfo();
    EXPECT_EQ(x.written(), (Lines{"!1A,MR,100"}));
    std::map<std::string, std::string> expected = {
        {"lblDescrp", "Description          :   Line 3"},
        {"lblAddr", "Address (Hex)      :   1A"},
        {"lblGas", "Gas Table (1-10)  :   5   Helium"},
        {"lblEngUnit", "Engineering Unit  :   SCFH"},
        {"lblFullScale", "Full Scale Range :   200  SLPM"},
        {"lblMode", "Input Mode          :   Digital"},
        {"lblValveMode", "Valve Mode         :   Open (Purge)"},
        {"lblAutoZero", "Auto Zero            :   Zero In Progress"},
        {"lblTotalizerMode", "Totalizer Mode    :   Enabled"},
        {"lblTotStart", "    Start Flow (%)  :   12.5"},
        {"lblTotStop", "    Stop Volume    :   1500.25  CF"},
        {"lblAlarmMode", "Alarm Mode         :   Disabled"},
        {"lblAlarmHigh", "    High (%F.S.)    :   3.5"},
        {"lblAlarmLow", "    Low (% F.S.)    :   0.1"},
        {"lblAlarmUpdate", "    Update Rate   :   15 Sec."},
        {"lblRelay1", "Relay #1 Status  :   Totalizer > limit"},
        {"lblRelay2", "Relay #2 Status  :   Low Flow Alarm"},
        {"lblKfactor", "K Factor (N2)      :   0.8"},
        {"lblCommStatus", "Communication   :    Enabled"},
    };
    for (const auto& [label, text] : expected)
        EXPECT_EQ(x.info(label), text) << label;
    auto& rec = x.rec();

    // Internal K-factor index: the label keeps what the device said last.
    rec.KFactorSource = 1;
    x.t.model.info["lblKfactor"].caption = "K Factor (N2)      :   KI7";
    x.t.sync().FillDeviceInfo();
    EXPECT_EQ(x.info("lblKfactor"), "K Factor (N2)      :   KI7");
    rec.KFactorSource = 0;
    x.t.sync().FillDeviceInfo();
    EXPECT_EQ(x.info("lblKfactor"), "K Factor (N2)      :   Disabled (K=1)");
    x.written(); // the gas names read so far

    // A device not accessible: the gas number alone, nothing sent.
    rec.GasTable = 9;
    x.t.deviceNotAccessible = 1;
    x.t.sync().FillDeviceInfo();
    EXPECT_EQ(x.info("lblGas"), "Gas Table (1-10)  :   10");
    EXPECT_TRUE(x.written().empty());

    // Communication disabled: the gas label untouched, nothing sent.
    x.t.deviceNotAccessible = 0;
    rec.CommEnabled = 0;
    rec.GasTable = 3;
    x.t.sync().FillDeviceInfo();
    EXPECT_EQ(x.info("lblGas"), "Gas Table (1-10)  :   10");
    EXPECT_EQ(x.info("lblCommStatus"), "Communication   :    Disabled");
    EXPECT_TRUE(x.written().empty());

    // Port will not open: the other labels are still filled, the gas label is not.
    rec.CommEnabled = 1;
    ASSERT_TRUE(x.t.ports().portToggle()); // close
    x.w.port.failOpenWith = "busy";
    rec.Name = "Renamed";
    rec.GasTable = 0;
    x.t.sync().FillDeviceInfo();
    EXPECT_EQ(x.info("lblDescrp"), "Description          :   Renamed");
    EXPECT_EQ(x.info("lblGas"), "Gas Table (1-10)  :   10");
    EXPECT_EQ(x.w.op.texts(), (Lines{"busy"}));
}
