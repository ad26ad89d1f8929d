#include "FuzzInput.h"

#include <unistd.h>

namespace kvt::fuzz {

std::string scratchFolder() {
    static const std::string folder = [] {
        std::string templ =
            std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/kvt-fuzz-XXXXXX";
        if (::mkdtemp(templ.data()) == nullptr)
            std::abort();
        return templ;
    }();
    return folder;
}

} // namespace kvt::fuzz
