// The terminal's port controller on the real Qt serial port and event loop against kvt-devsim on a
// pseudo-terminal, straight or through the real ser2net, raw and RFC 2217.

#include "link/TransactionEngine.h"
#include "monitor/PortController.h"
#include "support/PtyRig.h"
#include "support/Ser2NetProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>

using namespace kvt;

namespace {

// CI installs ser2net; only a developer's machine without it may skip.
#define REQUIRE_SER2NET()                                                                          \
    do {                                                                                           \
        if (kvt::testing::Ser2NetProcess::program().empty()) {                                     \
            if (std::getenv("KVT_REQUIRE_SER2NET"))                                                \
                FAIL() << "ser2net is required here (Debian package ser2net)";                     \
            GTEST_SKIP() << "ser2net is not installed (Debian package ser2net)";                   \
        }                                                                                          \
    } while (0)

// The port controller alone on the rig's port; a wait that hangs fails the test instead.
struct RealLink {
    explicit RealLink(std::vector<std::string> simArgs)
        : r({.simArgs = std::move(simArgs), .build = false}) {
        ports.engine().interfaceRs232 = true;
        QTimer::singleShot(30000, &guard, [this] { r.rt.pump().shutdown(); });
    }

    kvt::testing::PtyRig r;
    monitor::FrmTerminalModel model;
    monitor::PortController ports{model, r.port, r.rt, r.op};
    QObject guard;
};

// The same behind ser2net, which the terminal's port is mapped to.
struct ServedLink : RealLink {
    explicit ServedLink(bool rfc2217)
        : RealLink({"--baud", "115200"}), server(r.sim->path(), r.folder.path()) {
        r.prefs.save(link::kApplication, "Ports", "Com1",
                     rfc2217 ? server.rfc2217Url() : server.rawUrl());
    }

    // The line speeds the simulator saw.
    std::vector<std::string> speeds() {
        std::vector<std::string> out;
        std::istringstream in(test::readFile(r.folder.file("devsim.log")));
        for (std::string line; std::getline(in, line);)
            if (line.rfind("line speed ", 0) == 0)
                out.push_back(line.substr(11));
        return out;
    }

    kvt::testing::Ser2NetProcess server;
};

const std::vector<std::pair<std::string, std::string>> kExchanges = {
    {"m,d", "MD"}, {"v,o", "VO"}, {"g,3", "G3"}, {"m,a", "MA"}, {"v,a", "VA"}, {"g,0", "G0"}};

} // namespace

TEST(DevSimOverPty, NestedSendersEachGetTheirOwnReply) {
    RealLink l({"--baud", "9600"});
    ASSERT_TRUE(l.r.port.setSettings("115200,n,8,1").empty());
    ASSERT_TRUE(l.ports.openIfClosed());
    std::optional<std::string> inner;
    // A second command starts while the first one waits, as a button pressed during a cycle.
    QTimer::singleShot(1, [&] { inner = l.ports.engine().exchange("m,a"); });
    auto outer = l.ports.engine().exchange("m,d");
    ASSERT_TRUE(l.r.rt.pump().waitUntil([&] { return inner.has_value(); }));
    EXPECT_EQ(outer.value_or("?"), "MD");
    EXPECT_EQ(inner.value_or("?"), "MA");
    EXPECT_TRUE(l.r.op.shown.empty());
}

// Raw mode sends no settings: the device side keeps the server's own speed. Under RFC 2217 the
// speed applied while open reaches the device side before the next command does.
TEST(Ser2Net, RawAndRfc2217CarryExactlyTheLinesSent) {
    REQUIRE_SER2NET();
    for (bool rfc2217 : {false, true}) {
        SCOPED_TRACE(rfc2217 ? "RFC 2217" : "raw");
        ServedLink l(rfc2217);
        ASSERT_TRUE(l.r.port.setSettings("19200,n,8,1").empty());
        ASSERT_TRUE(l.ports.openIfClosed()) << (l.r.op.shown.empty() ? "" : l.r.op.shown[0].text);
        std::vector<std::string> sent;
        for (int round = 0; round < 3; ++round)
            for (const auto& [command, reply] : kExchanges) {
                EXPECT_EQ(l.ports.engine().exchange(command).value_or("<abandoned>"), reply);
                sent.push_back(command);
            }
        if (rfc2217) {
            ASSERT_TRUE(l.r.port.setSettings("38400,n,8,1").empty());
            EXPECT_EQ(l.ports.engine().exchange("m,d").value_or("<abandoned>"), "MD");
            sent.push_back("m,d");
            EXPECT_EQ(l.model.sbrStatus["Status"].text.find("COM-PORT"), std::string::npos);
        }
        EXPECT_TRUE(l.r.op.shown.empty()) << l.r.op.shown[0].text;
        EXPECT_TRUE(l.ports.closeWithDrain());
        EXPECT_EQ(l.r.sent(), sent);
        EXPECT_EQ(l.speeds(), (rfc2217 ? std::vector<std::string>{"19200", "38400"}
                                       : std::vector<std::string>{"9600"}));
    }
}
