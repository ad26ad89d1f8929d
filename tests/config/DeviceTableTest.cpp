#include "config/DeviceTable.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace kvt::config;

namespace {

DeviceRecord device(const std::string& number, const std::string& address) {
    return {.Number = number, .Address = address};
}

} // namespace

TEST(DeviceTable, SlotNumbersOutsideTheTable) {
    DeviceTable table;
    const DeviceTable& constTable = table;
    for (int slot : {-1, 0, 65}) {
        EXPECT_THROW(table.record(slot), std::out_of_range) << slot;
        EXPECT_THROW(table.status(slot), std::out_of_range) << slot;
        EXPECT_THROW(constTable.record(slot), std::out_of_range) << slot;
        EXPECT_FALSE(table.holdsDevice(slot));
        table.clearSlot(slot);
        EXPECT_TRUE(table.setCurrentDevice(64));
        EXPECT_FALSE(table.setCurrentDevice(slot));
        EXPECT_EQ(table.currentDevice(), 1) << slot;
    }
    EXPECT_EQ(table.deviceCount(), 0);
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
    EXPECT_EQ(table.status(1), DeviceStatus{});
    table.clearSlot(1); // an empty slot: the count stays
    EXPECT_EQ(table.deviceCount(), 2);

    // Slot count + 1 = 3 still holds device 3: the free slot 1 is taken instead.
    table.status(1).Flow = 9;
    EXPECT_EQ(table.addDevice(device("4", "04")), 1);
    EXPECT_EQ(table.record(1).Address + table.record(3).Address, "0403");
    EXPECT_EQ(table.status(1), DeviceStatus{});
    EXPECT_EQ(table.deviceCount(), 3);

    for (int i = 4; i <= DeviceTable::kMaxDevices; ++i)
        ASSERT_EQ(table.addDevice(device(std::to_string(i), "AA")), i);
    EXPECT_EQ(table.addDevice(device("65", "BB")), 0);
    EXPECT_EQ(table.deviceCount(), 64);
}
