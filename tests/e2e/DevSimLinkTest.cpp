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
    explicit RealLink(const std::vector<std::string>& simArgs)
        : r({.simArgs = simArgs, .build = false}), port(r.port), rt(r.rt), op(r.op) {
        EXPECT_TRUE(port.setSettings("115200,n,8,1").empty());
        ports.engine().interfaceRs232 = true;
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

TEST(DevSimOverPty, NestedSendersEachGetTheirOwnReply) {
    RealLink l({"--baud", "9600"});
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
