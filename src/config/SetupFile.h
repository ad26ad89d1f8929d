#pragma once

#include "config/DeviceRecord.h"
#include "config/DeviceTable.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::config {

// One setup.dat line (without its line end): the 23 fields separated by commas, text fields in
// double quotes, numbers in plain decimal with ".". A double quote, CR or LF inside a text field
// would break the line, so they are written as ' and a blank.
std::string formatSetupLine(const DeviceRecord& rec);

// Reads one line (a trailing CR is ignored; a CR inside a text field is read as a blank, as it
// would be written). nullopt unless it holds exactly 23 fields of the right kinds: integers in the
// range of their field, floats as finite numbers that write back readably, quoted fields closed,
// and a non-empty Address.
std::optional<DeviceRecord> parseSetupLine(std::string_view line);

struct LoadResult {
    bool ok = true;                // every line was loaded, or the file does not exist yet
    bool missing = false;          // no file: an empty table, created by the first save
    std::vector<int> skippedLines; // 1-based line numbers that were not loaded
    std::string backupPath;        // copy of the file as it was, when lines were skipped
    std::string message;           // for the operator; empty when there is nothing to tell
};

// Loads the file into slots 1..count in file order, empties the other slots and resets every
// status; the current device is not changed. Blank lines are skipped silently. Lines that cannot
// be read and lines beyond the 64th are skipped and reported; the file as it was is then copied to
// `path` + ".bak" first, because the next save would drop them. A file that exists but cannot be
// read gives an empty table that refuses to be saved (DeviceTable::saveRefused), as does a
// backup that could not be written.
LoadResult LoadDeviceTable(DeviceTable& table, const std::string& path);

// Replaces the file with one CR LF terminated line per slot that holds a device, in slot order.
// Returns "" on success, else the reason (host error text, or the table's save refusal); on
// failure the previous file is left whole.
std::string SaveDeviceTable(const DeviceTable& table, const std::string& path);

// The whole file text SaveDeviceTable writes.
std::string formatSetupFile(const DeviceTable& table);

} // namespace kvt::config
