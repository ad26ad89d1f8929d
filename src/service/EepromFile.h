#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::service {

// One line of an EEPROM table: the padded index field and the padded value field.
struct EepromEntry {
    std::string index;
    std::string value;
    bool operator==(const EepromEntry&) const = default;
};

inline constexpr int kEepromEntries = 99;
using EepromTable = std::array<EepromEntry, kEepromEntries>;

// Entries 0..63 hold variables 0..63, entries 64..98 variables 100..134.
int entryVariable(int entry);
// The variable as decimal text padded with blanks to 3 characters.
std::string indexField(int variable);
// The reply padded with blanks to 30 characters; a longer one is kept whole.
std::string valueField(std::string_view reply);
// An entry for `variable` holding `reply`.
EepromEntry makeEntry(int variable, std::string_view reply);

// The bytes of an .epr file: 99 lines of two quoted fields, each ended by CR LF. Text is written
// one byte per character, as it is read.
std::string eprBytes(const EepromTable& table);
// Why the table cannot be saved so that it reads back ("" = it can): a value holding a quote.
std::string unsavableReason(const EepromTable& table);

// Reads the bytes of an .epr file. A leading byte-order mark and lines ended by LF alone are
// accepted; anything but exactly 99 lines of the two-field form, or a control character in a
// field, is refused with `error` naming the line.
struct EprRead {
    EepromTable table{};
    std::string error; // "" = read
};
EprRead parseEpr(std::string_view bytes);

// The table as the dialogs show it: two headed groups of index field, 10 blanks, value field;
// lines end with CR.
std::string screenText(const EepromTable& table);

// The name proposed when saving: the serial number with blanks trimmed and characters that cannot
// be in a file name replaced by "_", in `folder`; a blank serial number proposes the folder alone.
std::string proposedFileName(const std::string& folder, std::string_view serialValue);

// Variables whose values differ between two tables (or every variable when `all`).
struct EepromDifference {
    int variable = 0;
    std::string left, right;
    bool operator==(const EepromDifference&) const = default;
};
std::vector<EepromDifference> compareTables(const EepromTable& left, const EepromTable& right,
                                            bool all = false);
// A plain-text record of a comparison, lines ended by CR LF; values in brackets so trailing
// blanks stay visible.
std::string compareReport(const std::string& leftName, const std::string& rightName,
                          const std::vector<EepromDifference>& rows);

} // namespace kvt::service
