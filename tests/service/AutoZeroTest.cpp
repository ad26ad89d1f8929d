#include "support/ServiceWorld.h"

#include <gtest/gtest.h>

using namespace kvt;
using kvt::platform::Answer;
using kvt::testing::kRs232;
using kvt::testing::kRs485;
using kvt::testing::LineKind;
using kvt::testing::ServiceWorld;
using Lines = std::vector<std::string>;

namespace {

class AutoZero : public ::testing::TestWithParam<LineKind> {};

struct Snapshot {
    std::string caption;
    bool fraCD;
    bool file, properties, windowShown, cancelShown;
};

Snapshot snapshot(ServiceWorld& x) {
    auto& w = x.service->autoZeroWindow;
    return {x.t.model.frmTerminal.caption,
            x.t.model.fraCD.visible,
            x.t.model.menu("mnuFileExit").enabled,
            x.t.model.toolbar["Properties"].enabled,
            w.frmAutoZeroIP.visible,
            w.cmdCancel.visible};
}

} // namespace

TEST_P(AutoZero, PollsUntilTheDeviceReportsTheEnd) {
    ServiceWorld x(GetParam());
    x.t.comMonitor = true;
    bool propertiesBefore = x.t.model.toolbar["Properties"].enabled;
    Snapshot during{};
    x.at(3.0, [&] { during = snapshot(x); });
    x.w.op.answer(Answer::Yes);
    x.click("mnuDeviceAutoZeroDoNow");

    // Zeroing takes 4 s: "z,s" at 2 s and 4 s report it running, 6 s reports it done.
    EXPECT_EQ(x.written(), x.lines({"z,n", "z,s", "z,s", "z,s"}));
    EXPECT_EQ(during.caption, "KVT Control Terminal - Zeroing Device");
    EXPECT_FALSE(during.fraCD);
    EXPECT_FALSE(during.file);
    EXPECT_FALSE(during.properties);
    EXPECT_TRUE(during.windowShown);
    EXPECT_TRUE(during.cancelShown);

    auto& w = x.service->autoZeroWindow;
    EXPECT_EQ(w.Label1.caption, service::kAutoZeroDone);
    EXPECT_TRUE(w.CmdOK.visible);
    EXPECT_TRUE(w.frmAutoZeroIP.visible);
    EXPECT_FALSE(x.t.engine().autoZeroWait);
    EXPECT_EQ(x.t.model.frmTerminal.caption, "KVT Control Terminal");
    EXPECT_TRUE(x.t.model.fraCD.visible);
    EXPECT_TRUE(x.t.model.fraSendR.visible);
    EXPECT_TRUE(x.t.model.menu("mnuFileExit").enabled);
    EXPECT_EQ(x.t.model.toolbar["Properties"].enabled, propertiesBefore);
    EXPECT_FALSE(x.dev().zeroing());

    x.service->autoZero.Form_QueryUnload(); // closing it now is OK
    EXPECT_FALSE(w.frmAutoZeroIP.visible);
}

TEST_P(AutoZero, Faults) {
    {
        SCOPED_TRACE("No sends nothing and shows the frames again; the monitor only if it is on");
        ServiceWorld x(GetParam());
        x.w.op.answer(Answer::No);
        x.click("mnuDeviceAutoZeroDoNow");
        EXPECT_TRUE(x.written().empty());
        EXPECT_TRUE(x.t.model.fraCD.visible);
        EXPECT_FALSE(x.t.model.fraSendR.visible);
    }
    {
        SCOPED_TRACE("three silent status requests end the poll with one message");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("z,s", sim::Fault::silence());
        x.w.op.answer(Answer::Yes);
        x.click("mnuDeviceAutoZeroDoNow");
        EXPECT_EQ(x.written(), x.lines({"z,n", "z,s", "z,s", "z,s"}));
        auto boxes = x.boxes();
        ASSERT_EQ(boxes.size(), 2u); // the launch question and the one message
        EXPECT_EQ(boxes.back(), service::kAutoZeroSilentText);
        EXPECT_FALSE(x.service->autoZeroWindow.frmAutoZeroIP.visible);
        EXPECT_FALSE(x.t.engine().autoZeroWait);
        EXPECT_EQ(x.t.model.frmTerminal.caption, "KVT Control Terminal");
    }
    {
        SCOPED_TRACE("Cancel, or closing the window, while a status request waits");
        ServiceWorld x(GetParam());
        x.at(2.005, [&] { x.service->autoZero.Form_QueryUnload(); });
        x.w.op.answer(Answer::Yes);
        x.click("mnuDeviceAutoZeroDoNow");
        EXPECT_EQ(x.written(), x.lines({"z,n", "z,s"}));
        EXPECT_FALSE(x.t.engine().awaitingReply);
        EXPECT_FALSE(x.service->autoZeroWindow.frmAutoZeroIP.visible);
        EXPECT_TRUE(x.t.model.menu("mnuFileExit").enabled);
        x.w.rt.runFor(5);
        EXPECT_TRUE(x.written().empty());
    }
    {
        SCOPED_TRACE("a second start while zeroing runs is not possible");
        ServiceWorld x(GetParam());
        x.at(1.0, [&] { x.click("mnuDeviceAutoZeroDoNow"); });
        x.w.op.answer(Answer::Yes);
        x.click("mnuDeviceAutoZeroDoNow");
        EXPECT_EQ(x.written(), x.lines({"z,n", "z,s", "z,s", "z,s"}));
        EXPECT_EQ(x.w.op.shown.size(), 1u);
    }
    {
        SCOPED_TRACE("across midnight the poll keeps its pace");
        ServiceWorld x(GetParam(), 86400.0 - 3.0);
        x.w.op.answer(Answer::Yes);
        x.click("mnuDeviceAutoZeroDoNow");
        EXPECT_EQ(x.written(), x.lines({"z,n", "z,s", "z,s", "z,s"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, AutoZero, ::testing::Values(kRs232, kRs485),
                         [](const auto& info) { return std::string(info.param.name); });
