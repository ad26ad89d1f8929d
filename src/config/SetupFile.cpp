#include "config/SetupFile.h"

#include "link/NumberText.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>

namespace kvt::config {

namespace {

constexpr int kFieldCount = 23;

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

void putText(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        if (c == '"') {
            c = '\'';
        } else if (c == '\r' || c == '\n') {
            c = ' ';
        }
        out += c;
    }
    out += '"';
}

void putInt(std::string& out, long long v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

// Splits a line into its fields; nullopt when a quoted field is not closed or is followed by
// anything but blanks and a comma.
std::optional<std::vector<std::string>> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;) {
        while (i < n && isSpace(line[i])) {
            ++i;
        }
        if (i < n && line[i] == '"') {
            const auto close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            fields.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            while (i < n && isSpace(line[i])) {
                ++i;
            }
            if (i == n) {
                return fields;
            }
            if (line[i] != ',') {
                return std::nullopt;
            }
            ++i;
        } else {
            const auto comma = line.find(',', i);
            const std::string_view raw =
                line.substr(i, comma == std::string_view::npos ? n - i : comma - i);
            if (raw.find('"') != std::string_view::npos) {
                return std::nullopt;
            }
            fields.emplace_back(trim(raw));
            if (comma == std::string_view::npos) {
                return fields;
            }
            i = comma + 1;
        }
        if (fields.size() > kFieldCount) {
            return std::nullopt;
        }
    }
}

// Digits with an optional sign, within the range of T.
template <typename T> bool readInt(const std::string& field, T& out) {
    std::string_view s = trim(field);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-') {
            return false;
        }
    }
    long long v = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size()) {
        return false;
    }
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) {
        return false;
    }
    out = static_cast<T>(v);
    return true;
}

// A finite number whose written form reads back: 1.7976931348623157e308 is refused, as its
// 15-digit form rounds past the largest double and the next load would drop the line.
bool readFloat(const std::string& field, double& out) {
    const auto v = link::parseNumber(field);
    if (!v || !link::storable(*v)) {
        return false;
    }
    out = *v;
    return true;
}

std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "3, 5-7, 70"; a file of rubbish must not give a message box of a thousand numbers.
std::string lineList(const std::vector<int>& lines) {
    constexpr int kMaxRanges = 10;
    std::string out;
    int ranges = 0;
    for (std::size_t i = 0; i < lines.size();) {
        if (++ranges > kMaxRanges) {
            out += " and " + std::to_string(lines.size() - i) + " more";
            break;
        }
        std::size_t j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) {
            ++j;
        }
        if (!out.empty()) {
            out += ", ";
        }
        out += std::to_string(lines[i]);
        if (j > i) {
            out += '-';
            out += std::to_string(lines[j]);
        }
        i = j + 1;
    }
    return out;
}

std::string linesPhrase(const std::vector<int>& lines) {
    return (lines.size() == 1 ? "line " : "lines ") + lineList(lines);
}

} // namespace

std::string formatSetupLine(const DeviceRecord& r) {
    std::string out;
    out.reserve(200);
    auto num = [&](double v) {
        out += ',';
        out += link::formatNumber(v);
    };
    auto integer = [&](long long v) {
        out += ',';
        putInt(out, v);
    };
    putText(out, r.Number);
    out += ',';
    putText(out, r.Address);
    out += ',';
    putText(out, r.Name);
    integer(r.GasTable);
    integer(r.EngUnit);
    num(r.UserEuFactor);
    integer(r.InputMode);
    integer(r.ValveMode);
    num(r.SetPoint);
    integer(r.TotalizerEnabled);
    num(r.TotalizerStartFlow);
    num(r.TotalizerStopTotal);
    integer(r.TotalizerAction);
    integer(r.AlarmEnabled);
    num(r.AlarmHigh);
    num(r.AlarmLow);
    integer(r.AlarmUpdateRate);
    integer(r.Relay1Action);
    integer(r.Relay2Action);
    integer(r.KFactorSource);
    integer(r.KFactorIndex);
    num(r.UserKFactor);
    integer(r.CommEnabled);
    return out;
}

std::optional<DeviceRecord> parseSetupLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const auto fields = splitFields(line);
    if (!fields || fields->size() != kFieldCount) {
        return std::nullopt;
    }
    const auto& f = *fields;
    DeviceRecord r;
    r.Number = f[0];
    r.Address = f[1];
    r.Name = f[2];
    // A CR in a text field, quoted or not (an editor's stray line end), is read as the blank the
    // writer makes of it, so that what is loaded is what the next save writes.
    for (std::string* text : {&r.Number, &r.Address, &r.Name}) {
        std::replace(text->begin(), text->end(), '\r', ' ');
    }
    const bool ok = readInt(f[3], r.GasTable) && readInt(f[4], r.EngUnit) &&
                    readFloat(f[5], r.UserEuFactor) && readInt(f[6], r.InputMode) &&
                    readInt(f[7], r.ValveMode) && readFloat(f[8], r.SetPoint) &&
                    readInt(f[9], r.TotalizerEnabled) && readFloat(f[10], r.TotalizerStartFlow) &&
                    readFloat(f[11], r.TotalizerStopTotal) && readInt(f[12], r.TotalizerAction) &&
                    readInt(f[13], r.AlarmEnabled) && readFloat(f[14], r.AlarmHigh) &&
                    readFloat(f[15], r.AlarmLow) && readInt(f[16], r.AlarmUpdateRate) &&
                    readInt(f[17], r.Relay1Action) && readInt(f[18], r.Relay2Action) &&
                    readInt(f[19], r.KFactorSource) && readInt(f[20], r.KFactorIndex) &&
                    readFloat(f[21], r.UserKFactor) && readInt(f[22], r.CommEnabled);
    // A record without an address is no device: the next save would drop it unseen.
    if (!ok || r.Address.empty()) {
        return std::nullopt;
    }
    return r;
}

std::string formatSetupFile(const DeviceTable& table) {
    std::string out;
    for (int slot = 1; slot <= DeviceTable::kMaxDevices; ++slot) {
        if (table.holdsDevice(slot)) {
            out += formatSetupLine(table.record(slot));
            out += "\r\n";
        }
    }
    return out;
}

LoadResult LoadDeviceTable(DeviceTable& table, const std::string& path) {
    LoadResult result;
    table.clear();
    table.allowSave();
    platform::removeStaleTemporaries(path);

    std::string text;
    bool missing = false;
    const std::string readError = platform::readFile(path, text, missing);
    if (!readError.empty()) {
        result.ok = false;
        result.message = readError + ". The device table starts empty, and " + fileNameOf(path) +
                         " will not be overwritten.";
        table.refuseSave(path +
                         " is not overwritten: it could not be read when the device table "
                         "was loaded (" +
                         readError + ").");
        return result;
    }
    if (missing) {
        result.missing = true;
        return result;
    }

    std::string_view rest = text;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
        rest.remove_prefix(3); // byte order mark left by some editors
    }
    std::vector<int> unreadable;
    std::vector<int> beyondTable;
    int lineNumber = 0;
    while (!rest.empty()) {
        const auto lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (trim(line).empty()) {
            continue;
        }
        const int count = table.deviceCount();
        if (count == DeviceTable::kMaxDevices) {
            beyondTable.push_back(lineNumber);
            continue;
        }
        const auto rec = parseSetupLine(line);
        if (!rec) {
            unreadable.push_back(lineNumber);
            continue;
        }
        table.record(count + 1) = *rec;
        table.setDeviceCount(count + 1);
    }
    if (unreadable.empty() && beyondTable.empty()) {
        return result;
    }

    result.ok = false;
    std::merge(unreadable.begin(), unreadable.end(), beyondTable.begin(), beyondTable.end(),
               std::back_inserter(result.skippedLines));
    std::string message = fileNameOf(path) + ": ";
    if (!unreadable.empty()) {
        message += linesPhrase(unreadable) + (unreadable.size() == 1
                                                  ? " could not be loaded and was skipped"
                                                  : " could not be loaded and were skipped");
    }
    if (!beyondTable.empty()) {
        if (!unreadable.empty()) {
            message += "; ";
        }
        message += linesPhrase(beyondTable) + (beyondTable.size() == 1 ? " was" : " were") +
                   " skipped because the table holds at most 64 devices";
    }
    message += '.';

    const std::string backup = path + ".bak";
    const std::string backupError = platform::replaceFile(backup, text);
    if (backupError.empty()) {
        result.backupPath = backup;
        message += " The file as it was is kept as " + backup + ".";
    } else {
        message += " The file could not be backed up (" + backupError + "), so " +
                   fileNameOf(path) + " will not be overwritten.";
        table.refuseSave(path + " is not overwritten: it holds lines that could not be loaded "
                                "and no backup of them could be written.");
    }
    result.message = message;
    return result;
}

std::string SaveDeviceTable(const DeviceTable& table, const std::string& path) {
    if (table.saveRefused()) {
        return table.saveRefusal();
    }
    return platform::replaceFile(path, formatSetupFile(table));
}

} // namespace kvt::config
