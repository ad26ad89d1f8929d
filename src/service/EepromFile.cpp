#include "service/EepromFile.h"

#include "service/ServiceText.h"

namespace kvt::service {

namespace {

std::string padded(std::string_view text, std::size_t width) {
    std::string out(text);
    if (out.size() < width)
        out.append(width - out.size(), ' ');
    return out;
}

std::string trimBlanks(std::string_view s) {
    auto b = s.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return "";
    auto e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

std::string lineError(std::size_t line, const char* what) {
    return "Line " + std::to_string(line) + " of the file " + what;
}

} // namespace

int entryVariable(int entry) {
    return entry < 64 ? entry : entry + 36;
}

std::string indexField(int variable) {
    return padded(std::to_string(variable), 3);
}

std::string valueField(std::string_view reply) {
    return padded(reply, 30);
}

EepromEntry makeEntry(int variable, std::string_view reply) {
    return {indexField(variable), valueField(reply)};
}

std::string eprBytes(const EepromTable& table) {
    std::string out;
    for (const auto& e : table)
        out += "\"" + e.index + "\",\"" + e.value + "\"\r\n";
    return out;
}

std::string unsavableReason(const EepromTable& table) {
    for (int e = 0; e < kEepromEntries; ++e) {
        const auto& entry = table[static_cast<std::size_t>(e)];
        if (entry.value.find('"') != std::string::npos ||
            entry.index.find('"') != std::string::npos)
            return "The value of variable " + std::to_string(entryVariable(e)) +
                   " holds a quotation mark; such a table would not read back and is not saved.";
    }
    return "";
}

EprRead parseEpr(std::string_view bytes) {
    EprRead r;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        auto nl = bytes.find('\n');
        std::string_view line = bytes.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos)
            break;
        bytes.remove_prefix(nl + 1);
    }
    if (lines.size() != kEepromEntries) {
        r.error = "The file holds " + std::to_string(lines.size()) +
                  " lines; an EEPROM table has exactly 99.";
        if (lines.size() > kEepromEntries)
            r.error += " " + lineError(kEepromEntries + 1, "is one too many.");
        return r;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view l = lines[i];
        // "index","value"
        auto close = l.size() >= 2 ? l.find('"', 1) : std::string_view::npos;
        bool form = l.size() >= 5 && l.front() == '"' && l.back() == '"' &&
                    close != std::string_view::npos && close + 3 < l.size() &&
                    l[close + 1] == ',' && l[close + 2] == '"';
        std::string_view index, value;
        if (form) {
            index = l.substr(1, close - 1);
            value = l.substr(close + 3, l.size() - close - 4);
            form = value.find('"') == std::string_view::npos;
        }
        if (!form) {
            r.error = lineError(i + 1, "is not of the form \"index\",\"value\".");
            r.table = {};
            return r;
        }
        if (hasControlCharacter(index) || hasControlCharacter(value)) {
            r.error = lineError(i + 1, "holds a control character.");
            r.table = {};
            return r;
        }
        r.table[i] = {std::string(index), std::string(value)};
    }
    return r;
}

std::string screenText(const EepromTable& table) {
    std::string out = "[Gas Independent Variables]\r\r";
    for (int e = 0; e < kEepromEntries; ++e) {
        if (e == 64)
            out += "[Gas Dependent Variables]\r\r";
        const auto& entry = table[static_cast<std::size_t>(e)];
        out += entry.index + std::string(10, ' ') + entry.value + "\r";
    }
    return out;
}

std::string proposedFileName(const std::string& folder, std::string_view serialValue) {
    std::string name = trimBlanks(serialValue);
    for (char& c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::string_view("\\/:*?\"<>|").find(c) != std::string::npos)
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        return folder;
    return folder + "/" + name + ".epr";
}

std::vector<EepromDifference> compareTables(const EepromTable& left, const EepromTable& right,
                                            bool all) {
    std::vector<EepromDifference> out;
    for (int e = 0; e < kEepromEntries; ++e) {
        const auto& l = left[static_cast<std::size_t>(e)].value;
        const auto& r = right[static_cast<std::size_t>(e)].value;
        if (all || l != r)
            out.push_back({entryVariable(e), l, r});
    }
    return out;
}

std::string compareReport(const std::string& leftName, const std::string& rightName,
                          const std::vector<EepromDifference>& rows) {
    std::string out =
        "EEPROM comparison\r\nLeft:  " + leftName + "\r\nRight: " + rightName + "\r\n\r\n";
    for (const auto& d : rows)
        out += indexField(d.variable) + "  [" + d.left + "]  [" + d.right + "]\r\n";
    out += std::to_string(rows.size()) + " variable(s) listed.\r\n";
    return out;
}

} // namespace kvt::service
