#include "config/DeviceTable.h"
#include "config/DeviceCommand.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace kvt::config;

namespace {

DeviceRecord device(const std::string& number, const std::string& address) {
    DeviceRecord r;
    r.Number = number;
    r.Address = address;
    return r;
}

} // namespace

TEST(DeviceTable, SlotNumbersOutsideTheTable) {
    DeviceTable table;
    EXPECT_THROW(table.record(0), std::out_of_range);
    EXPECT_THROW(table.record(65), std::out_of_range);
    EXPECT_THROW(table.status(-1), std::out_of_range);
    const DeviceTable& constTable = table;
    EXPECT_THROW(constTable.record(65), std::out_of_range);
    EXPECT_NO_THROW(table.record(64));
    EXPECT_FALSE(table.holdsDevice(0));
    EXPECT_FALSE(table.holdsDevice(65));
    table.clearSlot(0);
    table.clearSlot(65);
    EXPECT_EQ(table.deviceCount(), 0);

    EXPECT_TRUE(table.setCurrentDevice(64));
    EXPECT_EQ(table.currentDevice(), 64);
    EXPECT_FALSE(table.setCurrentDevice(65));
    EXPECT_EQ(table.currentDevice(), 1);
    EXPECT_FALSE(table.setCurrentDevice(0));
    EXPECT_EQ(table.currentDevice(), 1);
}

TEST(DeviceTable, AddAndRemoveNeverOverwriteADevice) {
    DeviceTable table;
    EXPECT_EQ(table.addDevice(device("1", "")), 0); // no address, no device
    ASSERT_EQ(table.addDevice(device("1", "01")), 1);
    ASSERT_EQ(table.addDevice(device("2", "02")), 2);
    ASSERT_EQ(table.addDevice(device("3", "03")), 3);
    table.status(1).Total = 5;

    table.clearSlot(1);
    EXPECT_EQ(table.deviceCount(), 2);
    EXPECT_FALSE(table.holdsDevice(1));
    EXPECT_EQ(table.record(1), DeviceTable::emptyRecord());
    EXPECT_EQ(table.record(1).Name, "");
    EXPECT_EQ(table.record(1).TotalizerStopTotal, 0.0);
    EXPECT_EQ(table.record(1).KFactorIndex, 1);
    EXPECT_EQ(table.status(1), DeviceStatus{});
    table.clearSlot(1); // an empty slot: the count stays
    EXPECT_EQ(table.deviceCount(), 2);

    // Slot count + 1 = 3 still holds device 3: the free slot 1 is taken instead.
    table.status(1).Flow = 9;
    EXPECT_EQ(table.addDevice(device("4", "04")), 1);
    EXPECT_EQ(table.record(3).Address, "03");
    EXPECT_EQ(table.record(1).Address, "04");
    EXPECT_EQ(table.status(1), DeviceStatus{});
    EXPECT_EQ(table.deviceCount(), 3);

    for (int i = 4; i <= DeviceTable::kMaxDevices; ++i) {
        ASSERT_EQ(table.addDevice(device(std::to_string(i), "AA")), i);
    }
    EXPECT_EQ(table.deviceCount(), 64);
    EXPECT_EQ(table.addDevice(device("65", "BB")), 0);
    EXPECT_EQ(table.deviceCount(), 64);

    table.clear();
    EXPECT_EQ(table.deviceCount(), 0);
    EXPECT_FALSE(table.holdsDevice(64));
}

TEST(DeviceCommand, AddressesTheSlotsDeviceOnlyInRs485) {
    kvt::config::DeviceTable table;
    kvt::config::DeviceRecord rec;
    rec.Number = "7";
    rec.Address = "1A";
    int slot = table.addDevice(rec);
    ASSERT_GT(slot, 0);
    EXPECT_EQ(kvt::config::deviceCommand(table, slot, false, "v,o"), "!1A,v,o");
    EXPECT_EQ(kvt::config::deviceCommand(table, slot, true, "v,o"), "v,o");
}
