#include "monitor/FrmProperties.h"

#include "link/CommSettings.h"
#include "monitor/FrmTerminal.h"

#include <algorithm>

namespace kvt::monitor {

namespace {

constexpr const char* kSection = "Properties";
constexpr int kPorts = 16;

bool inRange(const ListControl& list, int index) {
    return index >= 0 && index < static_cast<int>(list.items.size());
}

// Substrings that stay inside the text whatever the counts, so a short or odd settings text
// loads as empty fields instead of failing.
std::string left(const std::string& s, long n) {
    if (n <= 0)
        return {};
    return s.substr(0, static_cast<std::size_t>(std::min<long>(n, static_cast<long>(s.size()))));
}

std::string right(const std::string& s, long n) {
    if (n <= 0)
        return {};
    auto len = static_cast<long>(s.size());
    return n >= len ? s : s.substr(static_cast<std::size_t>(len - n));
}

// The character at a 1-based position, or "" outside the text.
std::string charAt(const std::string& s, long position) {
    if (position < 1 || position > static_cast<long>(s.size()))
        return {};
    return s.substr(static_cast<std::size_t>(position - 1), 1);
}

std::string trim(const std::string& s) {
    const char* blanks = " \t";
    auto first = s.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

void setEditText(EditableList& list, const std::string& text) {
    list.editText = text;
    list.listIndex = -1;
    for (std::size_t i = 0; i < list.items.size(); ++i)
        if (list.items[i] == text)
            list.listIndex = static_cast<int>(i);
}

template <std::size_t N> void fillMs(ListControl& list, const std::array<int, N>& ms) {
    list.items.clear();
    list.itemData.clear();
    for (int v : ms) {
        list.items.push_back(std::to_string(v));
        list.itemData.push_back(v);
    }
    list.listIndex = -1;
}

void fill(ListControl& list, std::vector<std::string> items) {
    list.items = std::move(items);
    list.itemData.assign(list.items.size(), 0);
    list.listIndex = -1;
}

} // namespace

FrmProperties::FrmProperties(FrmTerminal& terminal) : t_(terminal) {}

void FrmProperties::Form_Load() {
    auto& m = model;
    m.cboPort.items.clear();
    m.cboPort.itemData.clear();
    for (int n = 1; n <= kPorts; ++n) {
        m.cboPort.items.push_back("Com" + std::to_string(n));
        m.cboPort.itemData.push_back(n);
    }
    m.cboPort.listIndex = -1;
    fill(m.cboInterface, {"RS232", "RS485"});
    fill(m.cboSpeed, {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                      "28800", "38400", "56000", "57600", "115200", "128000", "256000"});
    fill(m.cboDataBits, {"4", "5", "6", "7", "8"});
    fill(m.cboParity, {"Even", "Odd", "None", "Mark", "Space"});
    fill(m.cboStopBits, {"1", "1.5", "2"});
    fillMs(m.cboTSs, link::kSamplingListMs);
    fillMs(m.cboTSr, link::kRecordingListMs);
    fillMs(m.cboTMs, link::kSamplingListMs);
    fillMs(m.cboTMr, link::kRecordingListMs);
    tabSettings_Click(0);

    auto& port = t_.port();
    loadSettingsText(port.settings());

    // A port number the list does not hold leaves the box empty; OK then keeps that number.
    cboPort_Click(port.commPort() - 1);

    // Without a valid flow button the port's own value is what OK assigns back.
    flow_ = port.handshaking();
    for (auto& b : m.optFlow)
        b.checked = false;
    optFlow_Click(port.handshaking());
    echo_ = t_.settings.echo;
    optEcho_Click(t_.settings.echo ? 1 : 0);

    cboTSs_Click(t_.settings.singleSamplingCode);
    cboTSr_Click(t_.settings.singleRecordingCode);
    cboTMs_Click(t_.settings.multiSamplingCode);
    cboTMr_Click(t_.settings.multiRecordingCode);

    cboInterface_Click(t_.settings.interfaceRs232 ? 0 : 1);
    model.changed();
}

void FrmProperties::loadSettingsText(const std::string& s) {
    auto& m = model;
    const long len = static_cast<long>(s.size());
    const long k = s.find('.') != std::string::npos ? 2 : 0; // stop bits "1.5"

    setEditText(m.cboSpeed, left(s, len - 6 - k));

    std::string parity = charAt(s, len - 4 - k);
    static const char* const letters[] = {"e", "o", "n", "m", "s"};
    m.cboParity.listIndex = -1;
    for (int i = 0; i < 5; ++i)
        if (parity == letters[i])
            cboParity_Click(i);

    setEditText(m.cboDataBits, charAt(s, len - 2 - k));
    setEditText(m.cboStopBits, right(s, 1 + k));
}

void FrmProperties::tabSettings_Click(int tab) {
    if (tab < 0 || tab >= static_cast<int>(model.fraSettings.size()))
        return;
    model.tabSettings.selected = tab;
    for (std::size_t i = 0; i < model.fraSettings.size(); ++i)
        model.fraSettings[i].visible = static_cast<int>(i) == tab;
    model.changed();
}

void FrmProperties::cboPort_Click(int listIndex) {
    if (!inRange(model.cboPort, listIndex))
        return;
    model.cboPort.listIndex = listIndex;
    model.txtPortAddress.caption = t_.port().portAddress(listIndex + 1);
    model.changed();
}

void FrmProperties::cboInterface_Click(int listIndex) {
    if (!inRange(model.cboInterface, listIndex))
        return;
    model.cboInterface.listIndex = listIndex;
    bool rs232 = listIndex == 0;
    t_.setInterfaceRs232(rs232);
    // Multi-unit operation means nothing on a single RS-232 unit.
    t_.setMenuEnabled("mnuAutoM", !rs232);
    t_.setMenuEnabled("mnuView", !rs232);
    t_.setToolbarEnabled("StartAM", !rs232);
    // On an RS-485 line both views can be chosen, and one of them is: four a page.
    t_.setMenuEnabled("mnuVM4", !rs232);
    t_.setMenuEnabled("mnuVM8", !rs232);
    if (!rs232 && !t_.model.menu("mnuVM8").checked) {
        t_.model.menu("mnuVM4").checked = true;
        t_.viewSize = 4;
    }
    t_.model.changed();
    model.changed();
}

void FrmProperties::cboSpeed_Click(int listIndex) {
    if (!inRange(model.cboSpeed, listIndex))
        return;
    setEditText(model.cboSpeed, model.cboSpeed.items[listIndex]);
    model.changed();
}

void FrmProperties::cboSpeed_Change(const std::string& text) {
    setEditText(model.cboSpeed, text);
    model.changed();
}

void FrmProperties::cboDataBits_Click(int listIndex) {
    if (!inRange(model.cboDataBits, listIndex))
        return;
    setEditText(model.cboDataBits, model.cboDataBits.items[listIndex]);
    model.changed();
}

void FrmProperties::cboDataBits_Change(const std::string& text) {
    setEditText(model.cboDataBits, text);
    model.changed();
}

void FrmProperties::cboParity_Click(int listIndex) {
    if (!inRange(model.cboParity, listIndex))
        return;
    model.cboParity.listIndex = listIndex;
    model.changed();
}

void FrmProperties::cboStopBits_Click(int listIndex) {
    if (!inRange(model.cboStopBits, listIndex))
        return;
    setEditText(model.cboStopBits, model.cboStopBits.items[listIndex]);
    model.changed();
}

void FrmProperties::cboStopBits_Change(const std::string& text) {
    setEditText(model.cboStopBits, text);
    model.changed();
}

void FrmProperties::cboTSs_Click(int listIndex) {
    if (!inRange(model.cboTSs, listIndex))
        return;
    model.cboTSs.listIndex = listIndex;
    t_.settings.singleSamplingCode = listIndex;
    t_.Timer4().setInterval(link::kSamplingListMs[listIndex]);
    model.changed();
}

void FrmProperties::cboTSr_Click(int listIndex) {
    if (!inRange(model.cboTSr, listIndex))
        return;
    model.cboTSr.listIndex = listIndex;
    t_.settings.singleRecordingCode = listIndex;
    t_.Timer5().setInterval(link::kRecordingListMs[listIndex]);
    model.changed();
}

void FrmProperties::cboTMs_Click(int listIndex) {
    if (!inRange(model.cboTMs, listIndex))
        return;
    model.cboTMs.listIndex = listIndex;
    t_.settings.multiSamplingCode = listIndex;
    model.changed();
}

void FrmProperties::cboTMr_Click(int listIndex) {
    if (!inRange(model.cboTMr, listIndex))
        return;
    model.cboTMr.listIndex = listIndex;
    t_.settings.multiRecordingCode = listIndex;
    model.changed();
}

void FrmProperties::optEcho_Click(int index) {
    if (index < 0 || index >= static_cast<int>(model.optEcho.size()))
        return;
    for (std::size_t i = 0; i < model.optEcho.size(); ++i)
        model.optEcho[i].checked = static_cast<int>(i) == index;
    echo_ = index == 1;
    model.changed();
}

void FrmProperties::optFlow_Click(int index) {
    if (index < 0 || index >= static_cast<int>(model.optFlow.size()))
        return;
    for (std::size_t i = 0; i < model.optFlow.size(); ++i)
        model.optFlow[i].checked = static_cast<int>(i) == index;
    flow_ = index;
    model.changed();
}

bool FrmProperties::portOk(const std::string& error) {
    if (error.empty())
        return true;
    t_.op().message(
        {error, link::kApplication, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
    return false;
}

void FrmProperties::showPortState() {
    if (t_.port().portOpen()) {
        t_.model.menu("mnuOpen").checked = true;
        t_.setToolbarEnabled("TransmitTextFile", true);
        t_.model.changed();
    } else {
        t_.ports().showPortClosed();
    }
}

void FrmProperties::cmdOK_Click() {
    if (closed_)
        return;
    auto& port = t_.port();
    auto& m = model;

    // 1
    t_.settings.echo = echo_;

    // 2: the port number; an empty port box keeps the number the port has.
    const int oldPort = port.commPort();
    const int newPort = inRange(m.cboPort, m.cboPort.listIndex) ? m.cboPort.listIndex + 1 : oldPort;
    if (newPort != oldPort) {
        bool wasOpen = false;
        std::string error;
        if (port.portOpen()) {
            wasOpen = true;
            error = port.setPortOpen(false);
            // Nothing sent on the old port can be answered on the new one.
            t_.engine().portClosed();
        }
        if (error.empty())
            error = port.setCommPort(newPort);
        if (error.empty() && wasOpen)
            error = port.setPortOpen(true);
        if (!error.empty() && port.commPort() != oldPort && !port.portOpen())
            (void)port.setCommPort(oldPort);
        if (wasOpen)
            showPortState();
        if (!portOk(error)) {
            m.changed();
            return;
        }
    }

    // 3, 4
    std::string settings = trim(m.cboSpeed.editText) + "," + m.cboParity.text().substr(0, 1) + "," +
                           trim(m.cboDataBits.editText) + "," + trim(m.cboStopBits.editText);
    if (!portOk(port.setSettings(settings)))
        return;
    if (!portOk(port.setHandshaking(flow_)))
        return;

    // 5, 6, 7
    bool rs232 = m.cboInterface.listIndex == 0;
    t_.setInterfaceRs232(rs232);
    t_.model.sbrStatus1["Interface"].text =
        std::string("Interface: ") + (rs232 ? "RS232" : "RS485");
    std::string portName = inRange(m.cboPort, m.cboPort.listIndex)
                               ? m.cboPort.text()
                               : "Com" + std::to_string(port.commPort());
    t_.model.sbrStatus1["Comport"].text = "COM Port: " + portName;

    // 8: what the port reports, so the next start-up gets exactly what is in force now.
    auto& store = t_.preferences();
    auto save = [&](const char* key, const std::string& value) {
        store.save(link::kApplication, kSection, key, value);
    };
    const auto& s = t_.settings;
    save("Settings", port.settings());
    save("CommPort", std::to_string(port.commPort()));
    save("Handshaking", std::to_string(port.handshaking()));
    save("Echo", s.echo ? "True" : "False");
    save("Interface", rs232 ? "True" : "False");
    save("Time_ss", std::to_string(s.singleSamplingCode));
    save("Time_sr", std::to_string(s.singleRecordingCode));
    save("Time_ms", std::to_string(s.multiSamplingCode));
    save("Time_mr", std::to_string(s.multiRecordingCode));

    // 9
    closed_ = true;
    t_.model.changed();
    m.changed();
}

void FrmProperties::cmdCancel_Click() {
    closed_ = true;
    model.changed();
}

} // namespace kvt::monitor
