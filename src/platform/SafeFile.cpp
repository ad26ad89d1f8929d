#include "platform/SafeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvt::platform {

namespace {

std::string failure(const char* verb, const std::string& path, int error) {
    return std::string(verb) + " " + path + ": " + std::strerror(error);
}

// The file that is really replaced: the target of a symbolic link, so the link survives.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        return path; // dangling link: replace the link itself
    }
    return resolved;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable. A failure here is not reported: the new file is in place.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::string replaceFile(const std::string& path, std::string_view bytes) {
    const std::string target = resolveTarget(path);
    std::string temp = target + ".tmpXXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return failure("Cannot write", path, errno);
    }
    auto abandon = [&](int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        return failure("Cannot write", path, error);
    };

    // mkostemp creates 0600; keep the old file's bits, or give a new file the usual ones.
    struct stat st {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) {
        return abandon(errno);
    }
    if (!writeAll(fd, bytes)) {
        return abandon(errno);
    }
    if (::fsync(fd) != 0) {
        return abandon(errno);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return failure("Cannot write", path, error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return failure("Cannot write", path, error);
    }
    syncFolder(folderOf(target));
    return {};
}

std::string readFile(const std::string& path, std::string& out, bool& missing,
                     std::size_t maxBytes) {
    out.clear();
    missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            missing = true;
            return {};
        }
        return failure("Cannot read", path, errno);
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            out.clear();
            return failure("Cannot read", path, error);
        }
        if (n == 0) {
            break;
        }
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            out.clear();
            return failure("Cannot read", path, EFBIG);
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return {};
}

} // namespace kvt::platform
