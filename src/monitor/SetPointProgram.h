#pragma once

#include <array>
#include <optional>
#include <string>

namespace kvt::monitor {

// One row of a set-point program as typed: set point (% of full scale) and approach time (s).
struct ProgramRow {
    std::string setPoint;
    std::string time;
    // A row takes part in a run only when both texts are filled in.
    bool isStep() const { return !setPoint.empty() && !time.empty(); }
    bool operator==(const ProgramRow&) const = default;
};

// The twelve rows of a program, as kept in a .prg file.
struct SetPointProgram {
    static constexpr int kRows = 12;
    std::array<ProgramRow, kRows> rows{};
    bool operator==(const SetPointProgram&) const = default;
};

// The file's bytes: twelve lines of two quoted texts separated by a comma, each ending in CR LF.
std::string programFileText(const SetPointProgram& program);

// Reads a file's text line by line (CR LF or LF), each line two fields, quoted or not. Rows the
// text does not reach stay empty; lines after the twelfth are ignored.
SetPointProgram parseProgramText(const std::string& text);

// A text a .prg line cannot carry (a double quote or a control character): the message saying
// which row; nullopt when every text can be saved.
std::optional<std::string> unsavableText(const SetPointProgram& program);

// Replaces the file crash-safely. Returns "" or the message to show (with the host's reason).
std::string saveProgramFile(const std::string& path, const SetPointProgram& program);

struct ProgramFileRead {
    SetPointProgram program;
    std::string error; // "" when read; otherwise the message with the host's reason
};
ProgramFileRead loadProgramFile(const std::string& path);

} // namespace kvt::monitor
