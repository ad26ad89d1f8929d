#include "service/ServiceLink.h"

#include "monitor/TerminalMenus.h"
#include "service/ServiceText.h"

#include <cctype>

namespace kvt::service {

using monitor::kSystemMonitor;

namespace {

// Entries that only show or hide parts of the main window: harmless while a procedure runs.
bool harmless(const std::string& name) {
    return name == "mnuMonitor" || name == "mnuDeviceInfo" || name == "mnuHelpA";
}

bool validAddress(const std::string& a) {
    return a.size() == 2 && std::isxdigit(static_cast<unsigned char>(a[0])) &&
           std::isxdigit(static_cast<unsigned char>(a[1])) && a != "00";
}

} // namespace

ServiceLink::ServiceLink(monitor::FrmTerminal& terminal) : t_(terminal) {}

bool ServiceLink::canStart() {
    if (busy_) {
        inform(kBusyText);
        return false;
    }
    int slot = t_.currentDevice();
    bool held = t_.table.holdsDevice(slot);
    if (!t_.rs232() && (!held || !validAddress(t_.table.record(slot).Address))) {
        inform(kNoAddressText);
        return false;
    }
    return held;
}

bool ServiceLink::openPort() {
    return t_.ports().openIfClosed();
}

std::optional<std::string> ServiceLink::exchange(std::string_view body, Options options) {
    monitor::FrmTerminal::Steps steps;
    steps.openPort = true;
    steps.stopMonitoring = true;
    steps.wait = monitor::FrmTerminal::Wait::ForDone;
    steps.showReply = options.showReply;
    steps.waitReply = options.waitReply;
    steps.reportNoReply = options.reportNoReply;
    auto reply = t_.exchange(t_.currentDevice(), body, steps);
    t_.finishExchange();
    return reply;
}

std::string ServiceLink::failureText(const std::string& headline, const std::string& separator,
                                     const std::string& reply) {
    return headline + "\rCheck connection and try again!" + separator + reply + "]";
}

void ServiceLink::failure(const std::string& headline, const std::string& separator,
                          const std::string& reply) {
    inform(failureText(headline, separator, reply));
}

void ServiceLink::inform(const std::string& text) {
    t_.op().message({text, kSystemMonitor, platform::Buttons::Ok, platform::Icon::Information, 0});
}

bool ServiceLink::confirm(const std::string& text) {
    return t_.op().message({text, kSystemMonitor, platform::Buttons::YesNo,
                            platform::Icon::Exclamation, 1}) == platform::Answer::Yes;
}

bool ServiceLink::acceptTyped(const std::string& text) {
    if (!hasControlCharacter(text))
        return true;
    inform(kControlCharacterText);
    return false;
}

bool ServiceLink::pause(double seconds, const std::function<bool()>& stop) {
    auto& rt = t_.runtime();
    double until = rt.clock().monotonic() + seconds;
    bool due = false;
    auto timer = rt.createTimer(std::max(1, static_cast<int>(seconds * 1000.0 + 0.5)));
    timer->setOnTick([&] {
        // A tick that comes a little early waits for the rest.
        double left = until - rt.clock().monotonic();
        if (left <= 0.0005) {
            due = true;
            timer->stop();
        } else {
            timer->setInterval(std::max(1, static_cast<int>(left * 1000.0 + 0.5)));
            timer->start();
        }
    });
    timer->start();
    return rt.pump().waitUntil([&] { return due || (stop && stop()); });
}

ServiceLink::Session::Session(ServiceLink& link) : link_(link) {
    link_.busy_ = true;
    auto& t = link_.t_;
    for (const auto& node : monitor::terminalMenuTree()) {
        if (monitor::isMenuParent(node.name) || harmless(node.name))
            continue;
        auto& c = t.model.menu(node.name);
        menus_[node.name] = c.enabled;
        c.enabled = false;
    }
    for (auto& [key, button] : t.model.toolbar) {
        toolbar_[key] = button.enabled;
        button.enabled = false;
    }
    fraCD_ = t.model.fraCD.enabled;
    cboValveS_ = t.model.cboValveS.enabled;
    t.model.fraCD.enabled = false;
    t.model.cboValveS.enabled = false;
    t.model.changed();
}

ServiceLink::Session::~Session() {
    auto& t = link_.t_;
    for (const auto& [name, enabled] : menus_)
        t.model.menu(name).enabled = enabled;
    for (const auto& [key, enabled] : toolbar_)
        t.model.toolbar[key].enabled = enabled;
    t.model.fraCD.enabled = fraCD_;
    t.model.cboValveS.enabled = cboValveS_;
    link_.busy_ = false;
    t.model.changed();
}

} // namespace kvt::service
