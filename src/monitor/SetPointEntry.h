#pragma once

#include "config/DeviceRecord.h"
#include "monitor/Controls.h"

#include <optional>
#include <string>

namespace kvt::monitor {

class UnitTable;

// The rules of every set-point box: digits and "." are typed, backspace edits, Enter commits,
// any other character is dropped. Navigation and editing keys are the widget's own business.
bool setPointCharacter(char c);

// Pasted or typed text with everything but digits and "." dropped.
std::string setPointText(const std::string& text);

// The value Enter commits: the leading number of the box's text. nullopt when the text holds no
// digit (nothing is committed) or a value setup.dat could not read back.
std::optional<double> setPointToCommit(const std::string& text);

// A set-point slider moved to `position` (by the operator, or from code to a new place): the
// device's set point becomes the slider's and waits to be sent.
void moveSetPointSlider(ScrollControl& bar, int position, const UnitTable& units,
                        config::DeviceRecord& rec, config::DeviceStatus& status);

// Enter in a set-point box: the typed value becomes the set point, pending, and the slider goes to
// it (at most 100 %); a slider that changes place re-derives the set point from its position.
// False when nothing was committed.
bool commitTypedSetPoint(const std::string& text, ScrollControl& bar, const UnitTable& units,
                         config::DeviceRecord& rec, config::DeviceStatus& status);

} // namespace kvt::monitor
