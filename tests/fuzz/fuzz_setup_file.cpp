// Any setup.dat: loading never fails silently, and what a load keeps survives a save and the next
// load unchanged (numbers to the 15 digits they are written with), with no line refused.
#include "FuzzInput.h"
#include "config/SetupFile.h"
#include "link/NumberText.h"

#include <fstream>

using namespace kvt::config;

namespace {

bool sameNumber(double a, double b) {
    return kvt::link::formatNumber(a) == kvt::link::formatNumber(b);
}

bool sameRecord(const DeviceRecord& a, const DeviceRecord& b) {
    DeviceRecord x = a;
    DeviceRecord y = b;
    for (auto field :
         {&DeviceRecord::UserEuFactor, &DeviceRecord::SetPoint, &DeviceRecord::TotalizerStartFlow,
          &DeviceRecord::TotalizerStopTotal, &DeviceRecord::AlarmHigh, &DeviceRecord::AlarmLow,
          &DeviceRecord::UserKFactor}) {
        if (!sameNumber(x.*field, y.*field))
            return false;
        x.*field = y.*field = 0;
    }
    return x == y;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = kvt::fuzz::scratchFolder() + "/setup.dat";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    DeviceTable first;
    const LoadResult loaded = LoadDeviceTable(first, path);
    KVT_FUZZ_CHECK(loaded.ok == loaded.skippedLines.empty());
    KVT_FUZZ_CHECK(loaded.ok == loaded.message.empty());
    KVT_FUZZ_CHECK(!first.saveRefused()); // the backup folder is writable
    KVT_FUZZ_CHECK(loaded.ok || loaded.backupPath == path + ".bak");
    for (int slot = 1; slot <= DeviceTable::kMaxDevices; ++slot)
        KVT_FUZZ_CHECK(first.holdsDevice(slot) == (slot <= first.deviceCount()));

    KVT_FUZZ_CHECK(SaveDeviceTable(first, path).empty());
    DeviceTable second;
    const LoadResult again = LoadDeviceTable(second, path);
    KVT_FUZZ_CHECK(again.ok);
    KVT_FUZZ_CHECK(second.deviceCount() == first.deviceCount());
    for (int slot = 1; slot <= first.deviceCount(); ++slot)
        KVT_FUZZ_CHECK(sameRecord(first.record(slot), second.record(slot)));
    // What is written once is written the same ever after.
    KVT_FUZZ_CHECK(formatSetupFile(second) == formatSetupFile(first));
    return 0;
}
