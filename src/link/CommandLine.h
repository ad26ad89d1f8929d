#pragma once

#include <string>
#include <string_view>

namespace kvt::link {

// "!" + address + "," in RS-485 mode, nothing in RS-232 mode; procedures that send many commands
// compute it once.
std::string addressPrefix(bool rs232, std::string_view address);

// The line as written to the port, without the carriage return that Send appends.
std::string commandLine(bool rs232, std::string_view address, std::string_view body);

// The reply text of a completed reply line: RS-485 lines lose their four-character address header.
std::string replyText(bool rs232, std::string_view replyLine);

// Matching rules for reply texts.
bool matchesExact(std::string_view reply, std::string_view token);
bool matchesLeading(std::string_view reply, std::string_view token);

} // namespace kvt::link
