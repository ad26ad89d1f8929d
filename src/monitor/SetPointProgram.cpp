#include "monitor/SetPointProgram.h"

#include "platform/SafeFile.h"

namespace kvt::monitor {

namespace {

// A program file is twelve short lines; anything much larger is not one.
constexpr std::size_t kMaxFileBytes = 1 << 20;

bool savable(const std::string& text) {
    for (unsigned char c : text)
        if (c == '"' || c < 0x20 || c == 0x7f)
            return false;
    return true;
}

// One field from `pos`: a quoted text up to its closing quote, or plain text up to the comma.
// Leaves `pos` after the field's comma (or at the end).
std::string field(const std::string& line, std::size_t& pos) {
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    std::string out;
    if (pos < line.size() && line[pos] == '"') {
        std::size_t close = line.find('"', pos + 1);
        if (close == std::string::npos)
            close = line.size();
        out = line.substr(pos + 1, close - pos - 1);
        pos = close + 1;
        std::size_t comma = line.find(',', std::min(pos, line.size()));
        pos = comma == std::string::npos ? line.size() : comma + 1;
        return out;
    }
    std::size_t comma = line.find(',', pos);
    std::size_t end = comma == std::string::npos ? line.size() : comma;
    out = line.substr(pos, end - pos);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    pos = comma == std::string::npos ? line.size() : comma + 1;
    return out;
}

} // namespace

std::string programFileText(const SetPointProgram& program) {
    std::string out;
    for (const auto& row : program.rows)
        out += "\"" + row.setPoint + "\",\"" + row.time + "\"\r\n";
    return out;
}

SetPointProgram parseProgramText(const std::string& text) {
    SetPointProgram program;
    std::size_t start = 0;
    for (int row = 0; row < SetPointProgram::kRows && start < text.size(); ++row) {
        std::size_t lf = text.find('\n', start);
        std::size_t end = lf == std::string::npos ? text.size() : lf;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::size_t pos = 0;
        program.rows[row].setPoint = field(line, pos);
        program.rows[row].time = field(line, pos);
        start = lf == std::string::npos ? text.size() : lf + 1;
    }
    return program;
}

std::optional<std::string> unsavableText(const SetPointProgram& program) {
    for (int row = 0; row < SetPointProgram::kRows; ++row) {
        const auto& r = program.rows[row];
        if (!savable(r.setPoint) || !savable(r.time))
            return "Step " + std::to_string(row + 1) +
                   " holds a character a program file cannot keep (\" or a control character).";
    }
    return std::nullopt;
}

std::string saveProgramFile(const std::string& path, const SetPointProgram& program) {
    if (auto refused = unsavableText(program))
        return *refused;
    return platform::replaceFile(path, programFileText(program));
}

ProgramFileRead loadProgramFile(const std::string& path) {
    ProgramFileRead result;
    std::string text;
    bool missing = false;
    result.error = platform::readFile(path, text, missing, kMaxFileBytes);
    if (result.error.empty() && missing)
        result.error = "Cannot read " + path + ": No such file or directory";
    if (result.error.empty())
        result.program = parseProgramText(text);
    return result;
}

} // namespace kvt::monitor
