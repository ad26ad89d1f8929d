#pragma once

#include "config/DeviceRecord.h"

#include <array>
#include <string>
#include <utility>

namespace kvt::config {

// The 64 device slots, numbered 1..64. A slot holds a device when its Address is not empty; slots
// without a device may lie between used ones after a removal.
//
// Slot numbers outside 1..64: record() and status() throw std::out_of_range (a programming error);
// holdsDevice() answers false and clearSlot() does nothing, so callers that walk slot numbers
// from the operator or a file need no check of their own.
class DeviceTable {
public:
    static constexpr int kMaxDevices = 64;

    DeviceTable() { clear(); }

    static bool validSlot(int slot) { return slot >= 1 && slot <= kMaxDevices; }

    DeviceRecord& record(int slot);
    const DeviceRecord& record(int slot) const;
    DeviceStatus& status(int slot);
    const DeviceStatus& status(int slot) const;

    bool holdsDevice(int slot) const;

    // The number of devices held (0..64). The device properties editor keeps its own count while
    // it is open and sets the table's on OK.
    int deviceCount() const { return count_; }
    void setDeviceCount(int count);

    // The current device (1-based slot, the "Cur_unit" preference). A number outside 1..64 is
    // refused: the current device becomes 1 and the result is false.
    int currentDevice() const { return current_; }
    bool setCurrentDevice(int slot);

    // Puts `rec` into slot count + 1 with a fresh status and raises the count. When that slot
    // still holds a device (slots emptied by a removal lie below it) the first free slot is used
    // instead, so no device is overwritten. Returns the slot, or 0 when the table is full or
    // `rec` has no Address.
    int addDevice(const DeviceRecord& rec);

    // Empties a slot as a removal does (Number, Address, Name empty, the one-valued fields 1,
    // the others 0), resets its status and lowers the count when it held a device.
    void clearSlot(int slot);

    // Every slot empty, count 0, every status reset; the current device is kept.
    void clear();

    void resetStatuses();

    // Set by LoadDeviceTable when setup.dat exists but could not be read (or its skipped lines
    // could not be backed up): saving would destroy what is in it, so SaveDeviceTable refuses
    // and returns saveRefusal(). allowSave() lifts it, e.g. after the operator agreed to
    // overwrite the file.
    bool saveRefused() const { return !saveRefusal_.empty(); }
    const std::string& saveRefusal() const { return saveRefusal_; }
    void refuseSave(std::string reason) { saveRefusal_ = std::move(reason); }
    void allowSave() { saveRefusal_.clear(); }

    // The values a removed device's slot is left with.
    static DeviceRecord emptyRecord();

private:
    static int index(int slot);

    std::array<DeviceRecord, kMaxDevices> records_{};
    std::array<DeviceStatus, kMaxDevices> statuses_{};
    int count_ = 0;
    int current_ = 1;
    std::string saveRefusal_;
};

} // namespace kvt::config
