#include "service/QueryMenu.h"

#include "link/Vocabulary.h"
#include "service/ServiceText.h"

#include <array>

namespace kvt::service {

namespace cmd = link::cmd;
namespace token = link::token;

namespace {

constexpr std::array<const char*, 4> kBackDoorMenus = {"mnuQueryWrite", "mnuQueryMamory",
                                                       "mnuQueryUpdate", "mnuQueryRead"};

struct Reading {
    const char* menu;
    const char* channel;
    const char* title;
    int seconds;
};
constexpr std::array<Reading, 6> kReadings = {{
    {"mnuQueryReadAnalogO", "5", "Analog Output - ", 1},
    {"mnuQueryReadAnalogI", "1", "Analog Input - ", 1},
    {"mnuQueryReadSenAvarage", "2", "Sensor Average - ", 2},
    {"mnuQueryReadSensorZero", "4", "Sensor Zero - ", 1},
    {"mnuQueryReadSensorComp", "7", "Sensor Compensated - ", 1},
    {"mnuQueryReadValveOut", "6", "Valve Output - ", 1},
}};

struct DacItem {
    const char* menu;
    int channel;
    const char* title;
    const char* prompt;
};
constexpr std::array<DacItem, 3> kDacItems = {{
    {"mnuQueryWriteZero", 0, "Write to the Sensor Zero DAC[0]",
     "Enter new value of the Sensor Zero in counts "},
    {"mnuQueryWriteAnalogOut", 1, "Write to the Analog Output DAC[1]",
     "Enter new value of the Analog Output in counts "},
    {"mnuQueryWriteValveOut", 2, "Write to the Valve Output DAC[2]",
     "Enter new value of the Valve Output in counts "},
}};

const char* const kBackDoorWarning =
    "WARNING: This will open direct access \rto the ADC / DAC and EEPROM Memory!\rUse Carefully, "
    "can cause unit to malfunction.\r    Do you want to Open Back Door?    ";

} // namespace

QueryMenu::QueryMenu(ServiceLink& link, FrmCancelSend& cancelWindow)
    : link_(link), cancel_(cancelWindow) {
    auto& t = link_.terminal();
    t.registerMenu("mnuQueryBackDoorOpen", [this] { backDoor(true); });
    t.registerMenu("mnuQueryBackDoorClose", [this] { backDoor(false); });
    t.registerMenu("mnuQueryMamoryRead", [this] { memoryRead(); });
    t.registerMenu("mnuQueryMamoryWrite", [this] { memoryWrite(); });
    for (const auto& r : kReadings)
        t.registerMenu(r.menu, [this, r] { repeatingReading(r.channel, r.title, r.seconds); });
    for (const auto& d : kDacItems)
        t.registerMenu(d.menu, [this, channel = d.channel] { dacWrite(channel); });
    t.registerMenu("mnuQueryUpdateDisable", [this] { update(false); });
    t.registerMenu("mnuQueryUpdateEnable", [this] { update(true); });
}

bool QueryMenu::begin() {
    return link_.canStart() && link_.openPort();
}

void QueryMenu::backDoor(bool open) {
    if (link_.busy())
        return;
    if (open && !link_.confirm(kBackDoorWarning))
        return;
    if (!begin())
        return;
    std::optional<std::string> reply;
    {
        ServiceLink::Session session(link_);
        reply = link_.exchange(open ? cmd::BackDoorOpen : cmd::BackDoorClose);
    }
    if (!reply || *reply != (open ? token::BackDoorEnabled : token::BackDoorDisabled))
        return;
    auto& t = link_.terminal();
    for (const char* menu : kBackDoorMenus)
        t.setMenuEnabled(menu, open);
    t.model.changed();
}

void QueryMenu::memoryRead() {
    if (link_.busy())
        return;
    auto& op = link_.terminal().op();
    std::string typed = op.input("Enter the index of the variable in the EEPROM memory (0-136):",
                                 "Reading of the EEPROM Memory", "");
    if (typed.empty() || !link_.acceptTyped(typed) || !begin())
        return;
    ServiceLink::Session session(link_);
    link_.exchange(cmd::memoryRead(typed), {.showReply = true});
}

void QueryMenu::memoryWrite() {
    if (link_.busy())
        return;
    auto& op = link_.terminal().op();
    std::string typed = op.input(
        "Enter the index of the variable in the EEPROM memory (0-136) and new value of the "
        "variable (use comma as delimiter):",
        "Writing to the EEPROM Memory", "");
    if (typed.empty() || !link_.acceptTyped(typed) || !begin())
        return;
    ServiceLink::Session session(link_);
    link_.exchange(cmd::memoryWrite(typed), {.showReply = true});
}

void QueryMenu::dacWrite(int channel) {
    if (link_.busy())
        return;
    const DacItem& item = kDacItems.at(static_cast<std::size_t>(channel));
    std::string typed =
        link_.terminal().op().input(std::string(item.prompt) + "(0-4095): ", item.title, "");
    if (typed.empty() || !link_.acceptTyped(typed) || !begin())
        return;
    ServiceLink::Session session(link_);
    link_.exchange(cmd::dacWrite(std::to_string(channel), typed), {.waitReply = false});
}

void QueryMenu::update(bool enable) {
    if (link_.busy() || !begin())
        return;
    ServiceLink::Session session(link_);
    link_.exchange(enable ? cmd::UpdateEnable : cmd::UpdateDisable, {.showReply = true});
}

void QueryMenu::repeatingReading(const std::string& channel, const std::string& title,
                                 int intervalSeconds) {
    if (link_.busy() || !begin())
        return;
    auto& t = link_.terminal();
    auto& engine = t.engine();
    ServiceLink::Session session(link_);

    bool cancelled = false;
    engine.cancelSending = false;
    cancel_.onCancel = [&] {
        cancelled = true;
        engine.cancelSending = true;
    };
    cancel_.Label1.caption = title;
    cancel_.frmCancelSend.visible = true;
    cancel_.changed();

    int timeouts = 0;
    bool silent = false;
    const std::string body = cmd::converterRead(channel);
    while (!cancelled) {
        // A port lost meanwhile has been reported; opening it again here would only add a box.
        if (!t.port().portOpen())
            break;
        double sentAt = t.runtime().clock().monotonic();
        auto reply = link_.exchange(body, {.showReply = true, .reportNoReply = false});
        if (!reply)
            break; // the port went away or the program is closing
        if (reply->empty()) {
            if (++timeouts >= kMaxTimeouts) {
                silent = true;
                break;
            }
        } else {
            timeouts = 0;
            cancel_.Label1.caption = title + *reply;
            cancel_.changed();
        }
        if (cancelled)
            break;
        double left = sentAt + intervalSeconds - t.runtime().clock().monotonic();
        if (left > 0 && !link_.pause(left, [&] { return cancelled; }))
            break;
    }
    cancel_.onCancel = nullptr;
    engine.cancelSending = true;
    cancel_.frmCancelSend.visible = false;
    cancel_.changed();
    if (silent)
        link_.inform(kReadingStoppedText);
}

} // namespace kvt::service
