#include "config/DeviceTable.h"

#include <stdexcept>

namespace kvt::config {

int DeviceTable::index(int slot) {
    if (!validSlot(slot)) {
        throw std::out_of_range("device slot " + std::to_string(slot) + " is not in 1..64");
    }
    return slot - 1;
}

DeviceRecord& DeviceTable::record(int slot) {
    return records_[index(slot)];
}
const DeviceRecord& DeviceTable::record(int slot) const {
    return records_[index(slot)];
}
DeviceStatus& DeviceTable::status(int slot) {
    return statuses_[index(slot)];
}
const DeviceStatus& DeviceTable::status(int slot) const {
    return statuses_[index(slot)];
}

bool DeviceTable::holdsDevice(int slot) const {
    return validSlot(slot) && !records_[slot - 1].Address.empty();
}

void DeviceTable::setDeviceCount(int count) {
    count_ = count < 0 ? 0 : (count > kMaxDevices ? kMaxDevices : count);
}

bool DeviceTable::setCurrentDevice(int slot) {
    if (!validSlot(slot)) {
        current_ = 1;
        return false;
    }
    current_ = slot;
    return true;
}

int DeviceTable::addDevice(const DeviceRecord& rec) {
    if (rec.Address.empty()) {
        return 0;
    }
    int slot = count_ + 1;
    if (!validSlot(slot) || holdsDevice(slot)) {
        slot = 0;
        for (int s = 1; s <= kMaxDevices; ++s) {
            if (!holdsDevice(s)) {
                slot = s;
                break;
            }
        }
        if (slot == 0) {
            return 0;
        }
    }
    records_[slot - 1] = rec;
    statuses_[slot - 1] = DeviceStatus{};
    setDeviceCount(count_ + 1);
    return slot;
}

void DeviceTable::clearSlot(int slot) {
    if (!validSlot(slot)) {
        return;
    }
    const bool held = holdsDevice(slot);
    records_[slot - 1] = emptyRecord();
    statuses_[slot - 1] = DeviceStatus{};
    if (held) {
        setDeviceCount(count_ - 1);
    }
}

void DeviceTable::clear() {
    records_.fill(emptyRecord());
    resetStatuses();
    count_ = 0;
}

void DeviceTable::resetStatuses() {
    statuses_.fill(DeviceStatus{});
}

DeviceRecord DeviceTable::emptyRecord() {
    DeviceRecord r;
    r.Name.clear();
    r.EngUnit = 1;
    r.UserEuFactor = 1.0;
    r.TotalizerStartFlow = 0.0;
    r.TotalizerStopTotal = 0.0;
    r.AlarmHigh = 0.0;
    r.AlarmLow = 0.0;
    r.AlarmUpdateRate = 1;
    r.KFactorIndex = 1;
    r.UserKFactor = 1.0;
    return r;
}

} // namespace kvt::config
