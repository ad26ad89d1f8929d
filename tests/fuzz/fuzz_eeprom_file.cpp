// EEPROM export files: a file is read whole or refused naming a line; a table read from a file
// writes back byte for byte to a file that reads as the same table.
#include "FuzzInput.h"
#include "service/EepromFile.h"

using namespace kvt::service;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const EprRead read = parseEpr(bytes);
    if (!read.error.empty()) {
        KVT_FUZZ_CHECK(read.error.find("ine") !=
                       std::string::npos); // "Line 7 ..." or "... 98 lines"
        KVT_FUZZ_CHECK(read.table == EepromTable{});
        return 0;
    }
    KVT_FUZZ_CHECK(unsavableReason(read.table).empty());
    const std::string written = eprBytes(read.table);
    const EprRead again = parseEpr(written);
    KVT_FUZZ_CHECK(again.error.empty());
    KVT_FUZZ_CHECK(again.table == read.table);
    KVT_FUZZ_CHECK(eprBytes(again.table) == written);
    KVT_FUZZ_CHECK(compareTables(read.table, again.table).empty());
    KVT_FUZZ_CHECK(compareTables(read.table, again.table, true).size() ==
                   static_cast<std::size_t>(kEepromEntries));
    KVT_FUZZ_CHECK(!screenText(read.table).empty());
    return 0;
}
