#include "link/Vocabulary.h"

#include <cctype>

namespace kvt::link::token {

std::string unit(std::string_view lowerUnit) {
    std::string t = "U";
    for (char c : lowerUnit)
        t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return t;
}

} // namespace kvt::link::token
