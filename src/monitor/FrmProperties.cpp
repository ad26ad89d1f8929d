// Placeholder until the properties dialog lands.
#include "monitor/FrmProperties.h"

namespace kvt::monitor {
FrmProperties::FrmProperties(FrmTerminal& terminal) : t_(terminal) {}
void FrmProperties::Form_Load() {}
} // namespace kvt::monitor
