#pragma once

// The terminal's logic with the real Qt port and runtime against kvt-devsim on a pseudo-terminal,
// shared by every end-to-end test on a live line.

#include "monitor/FrmTerminal.h"
#include "platform/WaitHelpers.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "service/ServiceMenus.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "support/ScriptedOperator.h"
#include "support/TempFolder.h"
#include "support/TerminalWorld.h"
#include "ui/FrmTerminalWindow.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kvt::testing {

struct PtyOptions {
    // The port runs at the simulator's --baud; more than one device makes the line RS-485.
    std::vector<std::string> simArgs = {"--baud", "9600"};
    std::vector<config::DeviceRecord> devices = {deviceRecord("1", "01")};
    bool fastPolls = false;                     // 100 ms between polls, 50 ms between devices
    service::ServiceDialogs* service = nullptr; // builds the service menus over these
    bool window = false;                        // builds and shows the main window
    bool build = true;                          // builds the terminal and runs start-up
    bool linked = false; // the port is a symlink every simulator started takes over in turn
};

struct PtyRig {
    explicit PtyRig(PtyOptions o) : opts(std::move(o)), port(prefs) {
        const auto& a = opts.simArgs;
        auto baud = std::find(a.begin(), a.end(), "--baud");
        startSim();
        prefs.save(link::kApplication, "Ports", "Com1", opts.linked ? line() : sim->path());
        if (baud != a.end())
            prefs.save(link::kApplication, "Properties", "Settings", baud[1] + ",n,8,1");
        prefs.save(link::kApplication, "Properties", "Interface",
                   opts.devices.size() > 1 ? "False" : "True");
        if (opts.fastPolls) {
            prefs.save(link::kApplication, "Properties", "Time_ss", "1");
            prefs.save(link::kApplication, "Properties", "Time_ms", "0");
        }
        TerminalWorld::writeSetupTo(folder.file("setup.dat"), opts.devices);
        if (!opts.build)
            return;
        build(port);
        t->Form_Load();
        EXPECT_TRUE(waitFor([&] { return !t->loaderActive(); }, 15000)) << "start-up hangs";
        mark();
    }
    ~PtyRig() { rt.pump().shutdown(); }

    std::string line() const { return folder.file("line"); }
    // (Re)starts the simulator with its options and `extra`.
    void startSim(const std::vector<std::string>& extra = {}) {
        sim.reset();
        auto args = opts.simArgs;
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("--verbose");
        if (opts.linked)
            args.insert(args.end(), {"--link", line()});
        sim = std::make_unique<DevSimProcess>(KVT_DEVSIM_PATH, args, folder.file("devsim.log"));
    }
    // (Re)builds the terminal's logic over `p`, with the service menus and window asked for.
    void build(platform::SerialPort& p) {
        window.reset();
        service.reset();
        t.reset();
        t = std::make_unique<monitor::FrmTerminal>(monitor::FrmTerminal::Services{
            p, rt, op, prefs, dialogs, folder.file("setup.dat"), folder.path()});
        if (opts.service)
            service = std::make_unique<service::ServiceMenus>(*t, *opts.service);
        if (opts.window) {
            window = std::make_unique<ui::FrmTerminalWindow>(*t);
            window->show();
        }
    }

    // Commands the simulator received since the last mark (start-up marks).
    std::vector<std::string> sent() const {
        auto all = receivedCommands(test::readFile(folder.file("devsim.log")));
        return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
    }
    void mark() { from = receivedCommands(test::readFile(folder.file("devsim.log"))).size(); }
    std::vector<std::string> take() {
        auto s = sent();
        mark();
        return s;
    }
    long count(const std::string& line) const {
        auto s = sent();
        return std::count(s.begin(), s.end(), line);
    }
    long countStarting(const std::string& prefix) const {
        auto s = sent();
        return std::count_if(s.begin(), s.end(),
                             [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    }
    bool has(const std::string& line) const { return count(line) > 0; }

    // Runs the event loop until `done` holds or `ms` have passed; false on the time-out.
    bool waitFor(const std::function<bool()>& done, int ms) {
        return platform::qt::test::waitFor(rt.pump(), done, ms);
    }
    void wait(int ms) { platform::qt::test::settle(rt.pump(), ms); }

    PtyOptions opts;
    test::TempFolder folder;
    MemoryPreferences prefs;
    std::unique_ptr<DevSimProcess> sim;
    platform::qt::QtSerialPort port;
    platform::qt::QtRuntime rt;
    ScriptedOperator op;
    ScriptedDialogs dialogs;
    std::unique_ptr<monitor::FrmTerminal> t;
    std::unique_ptr<service::ServiceMenus> service;
    std::unique_ptr<ui::FrmTerminalWindow> window;
    std::size_t from = 0;
};

// Calls `action` once `ready` holds (polled every 50 ms), or after `limitMs` regardless.
inline void whenReady(std::function<bool()> ready, std::function<void()> action,
                      int limitMs = 60000) {
    auto* poll = new QTimer;
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [=] {
        if (!ready() && (*waited += 50) < limitMs)
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(50);
}

// Calls `action` with the shown top-level widget named `name` once there is one.
inline void whenShown(const QString& name, std::function<void(QWidget*)> action) {
    auto found = std::make_shared<QWidget*>(nullptr);
    whenReady(
        [=] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == name && w->isVisible())
                    *found = w;
            return *found != nullptr;
        },
        [=] {
            if (*found)
                action(*found);
        });
}

} // namespace kvt::testing
