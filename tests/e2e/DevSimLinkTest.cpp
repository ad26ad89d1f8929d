// The real Qt serial port and event loop against kvt-devsim on a pseudo-terminal.

#include "link/TransactionEngine.h"
#include "monitor/PortController.h"
#include "support/PtyRig.h"

#include <gtest/gtest.h>
#include <optional>

using namespace kvt;

namespace {

// The port controller alone on the rig's port, at 115200 baud.
struct RealLink {
    RealLink(const std::vector<std::string>& simArgs, bool rs232)
        : r({.simArgs = simArgs, .build = false}), port(r.port), rt(r.rt), op(r.op) {
        EXPECT_TRUE(port.setSettings("115200,n,8,1").empty());
        ports.engine().interfaceRs232 = rs232;
        // A wait that hangs fails the test instead.
        QTimer::singleShot(20000, &guard, [this] { rt.pump().shutdown(); });
    }

    kvt::testing::PtyRig r;
    platform::qt::QtSerialPort& port;
    platform::qt::QtRuntime& rt;
    kvt::testing::ScriptedOperator& op;
    monitor::FrmTerminalModel model;
    monitor::PortController ports{model, port, rt, op};
    QObject guard;
};

} // namespace

TEST(DevSimOverPty, Rs232Transactions) {
    RealLink l({"--baud", "115200"}, true);
    ASSERT_TRUE(l.ports.openIfClosed()) << (l.op.shown.empty() ? "" : l.op.shown[0].text);
    for (auto [command, reply] : {std::pair{"m,d", "MD"}, {"v,o", "VO"}, {"g,3", "G3"}})
        EXPECT_EQ(l.ports.engine().exchange(command).value_or("<abandoned>"), reply);
    auto fullScale = l.ports.engine().exchange("e");
    ASSERT_TRUE(fullScale);
    EXPECT_FALSE(fullScale->empty());
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(l.ports.engine().exchange(i % 2 ? "m,a" : "m,d").value_or("?"),
                  i % 2 ? "MA" : "MD");
    EXPECT_TRUE(l.op.shown.empty());
    EXPECT_TRUE(l.ports.closeWithDrain());
}

TEST(DevSimOverPty, Rs485TransactionsReachOnlyTheAddressedDevice) {
    RealLink l({"--rs485", "01,1A", "--baud", "115200"}, false);
    ASSERT_TRUE(l.ports.openIfClosed());
    EXPECT_EQ(l.ports.engine().exchange("!01,m,d").value_or("?"), "MD");
    EXPECT_EQ(l.ports.engine().exchange("!1A,v,o").value_or("?"), "VO");
    EXPECT_EQ(l.model.lblRs.caption.size(), 6u);
    EXPECT_TRUE(l.op.shown.empty());
    // Nobody answers at 33: two seconds later, "No connection!" and an empty reply.
    EXPECT_EQ(l.ports.engine().exchange("!33,m,d").value_or("?"), "");
    EXPECT_EQ(l.op.texts(), std::vector<std::string>{"No connection!"});
    EXPECT_EQ(l.ports.engine().exchange("!1A,m,a").value_or("?"), "MA");
}

TEST(DevSimOverPty, NestedSendersEachGetTheirOwnReply) {
    RealLink l({"--baud", "9600"}, true);
    ASSERT_TRUE(l.ports.openIfClosed());
    std::optional<std::string> inner;
    // A second command starts while the first one waits, as a button pressed during a cycle.
    QTimer::singleShot(1, [&] { inner = l.ports.engine().exchange("m,a"); });
    auto outer = l.ports.engine().exchange("m,d");
    ASSERT_TRUE(l.rt.pump().waitUntil([&] { return inner.has_value(); }));
    EXPECT_EQ(outer.value_or("?"), "MD");
    EXPECT_EQ(inner.value_or("?"), "MA");
    EXPECT_TRUE(l.op.shown.empty());
}

TEST(DevSimOverPty, LateReplyOfOneDeviceIsNotTakenByTheNext) {
    RealLink l({"--rs485", "01,02", "--baud", "115200", "--delay", "2500"}, false);
    ASSERT_TRUE(l.ports.openIfClosed());
    EXPECT_EQ(l.ports.engine().exchange("!01,m,d").value_or("?"), "");
    // 01's "MD" arrives while 02's command waits: it is shown, never taken as 02's answer.
    EXPECT_EQ(l.ports.engine().exchange("!02,m,a").value_or("?"), "");
    EXPECT_EQ(l.op.texts(), (std::vector<std::string>{"No connection!", "No connection!"}));
}
