#include "monitor/FrmDProp.h"

#include "config/SetupFile.h"
#include "link/NumberText.h"
#include "monitor/FrmTerminal.h"
#include "monitor/UnitTable.h"

#include <cctype>
#include <cstdint>
#include <limits>

namespace kvt::monitor {

namespace {

constexpr int kMax = config::DeviceTable::kMaxDevices;
constexpr const char* kNewDeviceTitle = "New Device settings.";
constexpr const char* kDuplicateAddress = "Duplicate address in the system!";
constexpr const char* kTwoHex = "Address Must Have Two HexaDecimal Characters!";
constexpr const char* kNotHex = "Address Must Be HexaDecimal Number!";
constexpr const char* kGlobal = "Address 00 is Global! Try again!";
// setup.dat quotes its texts, so a quote or a line break in one would corrupt the file.
constexpr const char* kBadText = "Quotation marks and control characters cannot be stored!";
constexpr const char* kBadNumber = "This value cannot be stored!";

std::string trim(const std::string& s) {
    const char* blanks = " \t";
    auto first = s.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool storableText(const std::string& s) {
    for (unsigned char c : s)
        if (c == '"' || c < 0x20 || c == 0x7f)
            return false;
    return true;
}

bool isHex(const std::string& s) {
    for (unsigned char c : s)
        if (!std::isxdigit(c))
            return false;
    return true;
}

// Bus addresses are hexadecimal: "1a" and "1A" reach the same device.
bool sameAddress(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void fill(ListControl& list, std::vector<std::string> items) {
    list.items = std::move(items);
    list.itemData.assign(list.items.size(), 0);
    list.listIndex = -1;
}

template <std::size_t N> void check(std::array<Control, N>& options, int index) {
    for (std::size_t i = 0; i < N; ++i)
        options[i].checked = static_cast<int>(i) == index;
}

void showPosition(ListControl& list, int position) {
    list.listIndex =
        position >= 0 && position < static_cast<int>(list.items.size()) ? position : -1;
}

bool inRange(const ListControl& list, int index) {
    return index >= 0 && index < static_cast<int>(list.items.size());
}

} // namespace

FrmDProp::FrmDProp(FrmTerminal& terminal) : t_(terminal) {}

config::DeviceRecord& FrmDProp::rec() {
    return t_.table.record(selected_);
}

void FrmDProp::message(const std::string& text, bool exclamation) {
    t_.op().message({text, kSystemMonitor, platform::Buttons::Ok,
                     exclamation ? platform::Icon::Exclamation : platform::Icon::Information, 0});
}

void FrmDProp::Form_Load() {
    auto& m = model;
    t_.edited.fill(false);
    snapshot_ = t_.table;
    armed_ = false;
    fill(m.cboValveMode, {"Closed", "  Auto", "Opened"});
    fill(m.cboGasTable, {" 1", " 2", " 3", " 4", " 5", " 6", " 7", " 8", " 9", "10"});
    std::vector<std::string> units;
    for (int i = 0; i < UnitTable::kUnitCount; ++i)
        units.emplace_back(UnitTable::name(i));
    fill(m.cboEUnit, units);
    fill(m.cboTAction, {"No Action  ", "Valve Close"});
    for (auto* relay : {&m.cboRelay1Ass, &m.cboRelay2Ass})
        fill(*relay, {"No Assignment", "Totalizer  ", "Alarm High ", "Alarm Low  ", "Alarm Range"});
    tabSettings_Click(0);
    fillDeviceList();
    showCount();
    selectSlot(t_.currentDevice());
    armed_ = true;
    m.changed();
}

void FrmDProp::fillDeviceList() {
    auto& list = model.cboNumU;
    list.items.clear();
    list.itemData.clear();
    list.listIndex = -1;
    for (int slot = 1; slot <= kMax; ++slot) {
        if (!t_.table.holdsDevice(slot))
            continue;
        list.items.push_back(t_.table.record(slot).Number);
        list.itemData.push_back(slot);
    }
}

void FrmDProp::showCount() {
    model.lblTotalU.caption = std::to_string(t_.table.deviceCount());
}

void FrmDProp::selectSlot(int slot) {
    auto& list = model.cboNumU;
    for (std::size_t i = 0; i < list.itemData.size(); ++i)
        if (list.itemData[i] == slot) {
            cboNumU_Click(static_cast<int>(i));
            return;
        }
    // No such device (an empty table): nothing to edit.
    selected_ = 0;
    list.listIndex = -1;
    loadControls();
}

void FrmDProp::tabSettings_Click(int tab) {
    if (tab < 0 || tab >= static_cast<int>(model.fraSettings.size()))
        return;
    model.tabSettings.selected = tab;
    for (std::size_t i = 0; i < model.fraSettings.size(); ++i)
        model.fraSettings[i].visible = static_cast<int>(i) == tab;
    model.changed();
}

void FrmDProp::cboNumU_Click(int listIndex) {
    if (!inRange(model.cboNumU, listIndex))
        return;
    armed_ = false;
    model.cboNumU.listIndex = listIndex;
    selected_ = model.cboNumU.itemData[static_cast<std::size_t>(listIndex)];
    loadControls();
    armed_ = true;
    model.changed();
}

void FrmDProp::loadControls() {
    auto& m = model;
    const bool any = t_.table.holdsDevice(selected_);
    // Without a device every editing control is locked; Add is the way on.
    for (Control* c : {&m.txtName, &m.txtAddress, &m.txtMFR, &m.txtTStart, &m.txtTStop,
                       &m.cmdTSetZero, &m.txtAHigh, &m.txtALow, &m.txtInternalKF, &m.txtUserKF,
                       &m.txtUserEUfactor, &m.cmdRemuve})
        c->enabled = any;
    for (ListControl* l : {&m.cboValveMode, &m.cboGasTable, &m.cboEUnit, &m.cboTAction,
                           &m.cboRelay1Ass, &m.cboRelay2Ass})
        l->enabled = any;
    if (!any) {
        for (Control* c :
             {&m.txtName, &m.txtAddress, &m.txtMFR, &m.txtTStart, &m.txtTStop, &m.txtAHigh,
              &m.txtALow, &m.txtAURate, &m.txtInternalKF, &m.txtUserKF, &m.txtUserEUfactor,
              &m.lblDevNum, &m.lblTotal, &m.lblEUsp, &m.lblStopTotalEU})
            c->caption.clear();
        return;
    }
    const auto& r = rec();
    const auto& s = t_.table.status(selected_);
    auto num = [](double v) { return link::formatNumber(v); };
    m.txtName.caption = r.Name;
    m.txtAddress.caption = r.Address;
    m.txtMFR.caption = num(r.SetPoint);
    m.lblEUsp.caption = UnitTable::name(r.EngUnit);
    showPosition(m.cboValveMode, r.ValveMode);
    showPosition(m.cboGasTable, r.GasTable);
    showPosition(m.cboEUnit, r.EngUnit);
    check(m.optCRC, r.CommEnabled == 1 ? 0 : 1);
    check(m.optAInt, r.InputMode == 1 ? 0 : 1);
    check(m.optEnable, r.TotalizerEnabled == 0 ? 0 : 1);
    m.txtTStart.caption = num(r.TotalizerStartFlow);
    m.txtTStop.caption = num(r.TotalizerStopTotal);
    m.lblStopTotalEU.caption = UnitTable::suffix(r.EngUnit);
    showPosition(m.cboTAction, r.TotalizerAction);
    m.lblTotal.caption = num(s.Total);
    check(m.optAEnable, r.AlarmEnabled == 0 ? 0 : 1);
    m.txtAHigh.caption = num(r.AlarmHigh);
    m.txtALow.caption = num(r.AlarmLow);
    m.txtAURate.caption = std::to_string(r.AlarmUpdateRate);
    showPosition(m.cboRelay1Ass, r.Relay1Action);
    showPosition(m.cboRelay2Ass, r.Relay2Action);
    check(m.optKfactor, r.KFactorSource);
    m.txtInternalKF.caption = std::to_string(r.KFactorIndex);
    m.txtUserKF.caption = num(r.UserKFactor);
    m.txtUserEUfactor.caption = num(r.UserEuFactor);
    m.lblDevNum.caption = r.Number;
}

template <typename T> void FrmDProp::store(T& field, long long value, bool marksEdited) {
    T v = static_cast<T>(value);
    if (field == v)
        return;
    field = v;
    if (marksEdited)
        t_.edited[static_cast<std::size_t>(selected_)] = true;
}

void FrmDProp::storeNumber(Control& box, double& field, const std::string& text) {
    box.caption = text;
    if (!armed_ || !t_.table.holdsDevice(selected_))
        return;
    double v = link::operatorNumber(text);
    if (!link::storable(v)) {
        message(kBadNumber);
        box.caption = link::formatNumber(field);
        model.changed();
        return;
    }
    if (field != v) {
        field = v;
        t_.edited[static_cast<std::size_t>(selected_)] = true;
    }
    model.changed();
}

void FrmDProp::txtName_Change(const std::string& text) {
    model.txtName.caption = text;
    if (!armed_ || !t_.table.holdsDevice(selected_))
        return;
    if (!storableText(text)) {
        message(kBadText);
        model.txtName.caption = rec().Name;
    } else {
        rec().Name = text;
    }
    model.changed();
}

bool FrmDProp::addressTaken(const std::string& address, int except) const {
    for (int slot = 1; slot <= kMax; ++slot)
        if (slot != except && t_.table.holdsDevice(slot) &&
            sameAddress(t_.table.record(slot).Address, address))
            return true;
    return false;
}

bool FrmDProp::numberTaken(const std::string& number) const {
    for (int slot = 1; slot <= kMax; ++slot)
        if (t_.table.holdsDevice(slot) && t_.table.record(slot).Number == number)
            return true;
    return false;
}

void FrmDProp::txtAddress_Change(const std::string& text) {
    auto& box = model.txtAddress;
    box.caption = text;
    if (!armed_ || !t_.table.holdsDevice(selected_))
        return;
    armed_ = false;
    const std::string trimmed = trim(text);
    if (addressTaken(trimmed, selected_)) {
        message(kDuplicateAddress);
        message(kTwoHex);
        box.caption = rec().Address;
    } else if (text.size() == 2) {
        if (!isHex(text)) {
            message(kNotHex);
            box.caption = rec().Address;
        } else if (text == "00") {
            message(kGlobal);
            box.caption = rec().Address;
        } else {
            rec().Address = text;
        }
    }
    armed_ = true;
    model.changed();
}

void FrmDProp::txtMFR_Change(const std::string& text) {
    if (t_.table.holdsDevice(selected_))
        storeNumber(model.txtMFR, rec().SetPoint, text);
}

void FrmDProp::cboValveMode_Click(int listIndex) {
    if (!inRange(model.cboValveMode, listIndex) || !t_.table.holdsDevice(selected_))
        return;
    model.cboValveMode.listIndex = listIndex;
    store(rec().ValveMode, listIndex);
    model.changed();
}

void FrmDProp::cboGasTable_Click(int listIndex) {
    if (!inRange(model.cboGasTable, listIndex) || !t_.table.holdsDevice(selected_))
        return;
    model.cboGasTable.listIndex = listIndex;
    store(rec().GasTable, listIndex);
    model.changed();
}

void FrmDProp::cboEUnit_Click(int listIndex) {
    if (!inRange(model.cboEUnit, listIndex) || !t_.table.holdsDevice(selected_))
        return;
    model.cboEUnit.listIndex = listIndex;
    store(rec().EngUnit, listIndex);
    model.lblEUsp.caption = UnitTable::name(listIndex);
    model.lblStopTotalEU.caption = UnitTable::suffix(listIndex);
    model.changed();
}

void FrmDProp::optCRC_Click(int index) {
    if (index < 0 || index > 1 || !t_.table.holdsDevice(selected_))
        return;
    check(model.optCRC, index);
    store(rec().CommEnabled, index == 0 ? 1 : 0, false);
    model.changed();
}

void FrmDProp::optAInt_Click(int index) {
    if (index < 0 || index > 1 || !t_.table.holdsDevice(selected_))
        return;
    check(model.optAInt, index);
    store(rec().InputMode, index == 0 ? 1 : 0);
    model.changed();
}

void FrmDProp::optEnable_Click(int index) {
    if (index < 0 || index > 1 || !t_.table.holdsDevice(selected_))
        return;
    check(model.optEnable, index);
    store(rec().TotalizerEnabled, index);
    model.changed();
}

void FrmDProp::txtTStart_Change(const std::string& text) {
    if (t_.table.holdsDevice(selected_))
        storeNumber(model.txtTStart, rec().TotalizerStartFlow, text);
}

void FrmDProp::txtTStop_Change(const std::string& text) {
    if (t_.table.holdsDevice(selected_))
        storeNumber(model.txtTStop, rec().TotalizerStopTotal, text);
}

void FrmDProp::cboTAction_Click(int listIndex) {
    if (!inRange(model.cboTAction, listIndex) || !t_.table.holdsDevice(selected_))
        return;
    model.cboTAction.listIndex = listIndex;
    store(rec().TotalizerAction, listIndex);
    model.changed();
}

void FrmDProp::cmdTSetZero_Click() {
    if (!t_.table.holdsDevice(selected_))
        return;
    t_.table.status(selected_).Total = 0.0;
    model.lblTotal.caption = "0";
    model.changed();
}

void FrmDProp::optAEnable_Click(int index) {
    if (index < 0 || index > 1 || !t_.table.holdsDevice(selected_))
        return;
    check(model.optAEnable, index);
    store(rec().AlarmEnabled, index);
    model.changed();
}

void FrmDProp::txtAHigh_Change(const std::string& text) {
    if (t_.table.holdsDevice(selected_))
        storeNumber(model.txtAHigh, rec().AlarmHigh, text);
}

void FrmDProp::txtALow_Change(const std::string& text) {
    if (t_.table.holdsDevice(selected_))
        storeNumber(model.txtALow, rec().AlarmLow, text);
}

void FrmDProp::cboRelay1Ass_Click(int listIndex) {
    if (!inRange(model.cboRelay1Ass, listIndex) || !t_.table.holdsDevice(selected_))
        return;
    model.cboRelay1Ass.listIndex = listIndex;
    store(rec().Relay1Action, listIndex);
    model.changed();
}

void FrmDProp::cboRelay2Ass_Click(int listIndex) {
    if (!inRange(model.cboRelay2Ass, listIndex) || !t_.table.holdsDevice(selected_))
        return;
    model.cboRelay2Ass.listIndex = listIndex;
    store(rec().Relay2Action, listIndex);
    model.changed();
}

void FrmDProp::optKfactor_Click(int index) {
    if (index < 0 || index > 2 || !t_.table.holdsDevice(selected_))
        return;
    check(model.optKfactor, index);
    store(rec().KFactorSource, index);
    model.changed();
}

void FrmDProp::txtInternalKF_Change(const std::string& text) {
    model.txtInternalKF.caption = text;
    if (!armed_ || !t_.table.holdsDevice(selected_))
        return;
    double v = link::operatorNumber(text);
    long long n = link::roundHalfEven(v);
    if (!link::storable(v) || n < std::numeric_limits<std::int32_t>::min() ||
        n > std::numeric_limits<std::int32_t>::max()) {
        message(kBadNumber);
        model.txtInternalKF.caption = std::to_string(rec().KFactorIndex);
    } else {
        store(rec().KFactorIndex, n);
    }
    model.changed();
}

void FrmDProp::txtUserKF_Change(const std::string& text) {
    if (t_.table.holdsDevice(selected_))
        storeNumber(model.txtUserKF, rec().UserKFactor, text);
}

void FrmDProp::txtUserEUfactor_Change(const std::string& text) {
    if (t_.table.holdsDevice(selected_))
        storeNumber(model.txtUserEUfactor, rec().UserEuFactor, text);
}

void FrmDProp::cmdAdd_Click() {
    auto& op = t_.op();
    auto& table = t_.table;
    armed_ = true; // whichever way Add ends, editing goes on
    if (table.deviceCount() >= kMax) {
        message("There are 64 units in the System!");
        return;
    }
    std::string number = trim(op.input("Enter number of new device (1-64).", kNewDeviceTitle, ""));
    if (number.empty())
        return;
    if (!storableText(number)) {
        message(kBadText);
        return;
    }
    if (numberTaken(number)) {
        message("Duplicate number in the system!");
        return;
    }
    std::string address;
    for (;;) {
        address =
            trim(op.input("Enter address for new device (Two Hexadecimal characters): [01-FF]",
                          kNewDeviceTitle, ""));
        if (address.empty())
            return;
        if (addressTaken(address, 0))
            message(kDuplicateAddress);
        else if (address.size() != 2)
            message(kTwoHex);
        else if (!isHex(address))
            message(kNotHex);
        else if (address == "00")
            message(kGlobal);
        else
            break;
    }
    config::DeviceRecord r;
    r.Number = number;
    r.Address = address;
    int slot = table.addDevice(r);
    if (slot == 0)
        return; // full; checked above
    t_.edited[static_cast<std::size_t>(slot)] = false;
    fillDeviceList();
    showCount();
    selectSlot(slot);
    model.changed();
}

void FrmDProp::removeSlot(int slot) {
    auto& table = t_.table;
    // Later devices move down one slot with their status and flags, so the table keeps no gap.
    for (int s = slot; s < kMax; ++s) {
        table.record(s) = table.record(s + 1);
        table.status(s) = table.status(s + 1);
        t_.edited[static_cast<std::size_t>(s)] = t_.edited[static_cast<std::size_t>(s + 1)];
    }
    table.record(kMax) = config::DeviceTable::emptyRecord();
    table.status(kMax) = config::DeviceStatus{};
    t_.edited[kMax] = false;
    table.setDeviceCount(table.deviceCount() - 1);
    if (t_.currentDevice() > slot)
        table.setCurrentDevice(t_.currentDevice() - 1);
}

void FrmDProp::cmdRemuve_Click() {
    if (!t_.table.holdsDevice(selected_))
        return;
    if (selected_ == t_.currentDevice()) {
        message("You have selected device #" + std::to_string(selected_) +
                ", which is currently active in the system!\rIn order to remove this device: "
                "close Device Properties window and\r change device current number on the main "
                "KVT Terminal screen.");
        return;
    }
    auto answer =
        t_.op().message({"Do you want to remove the device from the system?", kSystemMonitor,
                         platform::Buttons::YesNo, platform::Icon::Exclamation, 1});
    if (answer == platform::Answer::Yes) {
        removeSlot(selected_);
        fillDeviceList();
        showCount();
        selectSlot(t_.currentDevice());
    }
    model.focus = "cboNumU";
    model.changed();
}

void FrmDProp::cmdOK_Click() {
    if (closed_)
        return;
    auto& table = t_.table;
    if (std::string error = config::SaveDeviceTable(table, t_.setupPath()); !error.empty()) {
        message(error, true);
        return; // the edits stay; the operator can try again or cancel
    }
    t_.engine().tableChanged = false;

    // The main list follows the table; selecting in it would start a download nobody asked for.
    auto& list = t_.model.cboCurUnit;
    list.items.clear();
    list.itemData.clear();
    list.listIndex = -1;
    for (int slot = 1; slot <= kMax; ++slot) {
        if (!table.holdsDevice(slot))
            continue;
        if (slot == t_.currentDevice())
            list.listIndex = static_cast<int>(list.items.size());
        list.items.push_back(table.record(slot).Number);
        list.itemData.push_back(slot);
    }
    t_.currentAddress =
        table.holdsDevice(t_.currentDevice()) ? table.record(t_.currentDevice()).Address : "";

    // The editor stays shut until the loader has sent the edits.
    if (t_.model.menu("mnuDProperties").enabled) {
        t_.setMenuEnabled("mnuDProperties", false);
        t_.loaderLocksDProperties = true;
    }
    t_.Timer8().start();
    closed_ = true;
    t_.model.changed();
    model.changed();
}

void FrmDProp::cmdCancel_Click() {
    if (closed_)
        return;
    // Back to the table as it was, statuses included; reading setup.dat again would reset every
    // full scale and lose what the devices reported.
    t_.table = snapshot_;
    t_.edited.fill(false);
    closed_ = true;
    model.changed();
}

} // namespace kvt::monitor
