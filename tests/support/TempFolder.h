#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include <sys/stat.h>

namespace kvt::test {

// A fresh folder under /tmp, removed with everything in it when the test ends.
class TempFolder {
public:
    TempFolder() {
        std::string templ = "/tmp/kvt-config-XXXXXX";
        if (::mkdtemp(templ.data()) != nullptr)
            path_ = templ;
    }
    ~TempFolder() {
        if (path_.empty())
            return;
        // Give back permissions a test may have taken away, so removal works.
        ::chmod(path_.c_str(), 0700);
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            ::chmod(it->path().c_str(), 0700);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool valid() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The whole content of a file; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace kvt::test
