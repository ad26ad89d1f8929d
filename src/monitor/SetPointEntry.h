#pragma once

#include <optional>
#include <string>

namespace kvt::monitor {

// The rules of every set-point box: digits and "." are typed, backspace edits, Enter commits,
// any other character is dropped. Navigation and editing keys are the widget's own business.
bool setPointCharacter(char c);

// Pasted or typed text with everything but digits and "." dropped.
std::string setPointText(const std::string& text);

// The value Enter commits: the leading number of the box's text. nullopt when the text holds no
// digit (nothing is committed) or a value setup.dat could not read back.
std::optional<double> setPointToCommit(const std::string& text);

} // namespace kvt::monitor
