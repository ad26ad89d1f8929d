#include "FuzzInput.h"

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace kvt::fuzz {

std::string scratchFolder() {
    // Plain storage: the removal at exit runs after static strings are gone.
    static char folder[64] = "";
    if (folder[0] == '\0') {
        std::snprintf(folder, sizeof folder, "%s/kvt-fuzz-XXXXXX",
                      ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        if (::mkdtemp(folder) == nullptr)
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
    }
    return folder;
}

} // namespace kvt::fuzz
