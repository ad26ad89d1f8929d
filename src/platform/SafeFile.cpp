#include "platform/SafeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isTemporaryName(std::string_view name, std::string_view target) {
    constexpr std::string_view kTmp = ".tmp";
    if (name.size() != target.size() + kTmp.size() + 6 || name.substr(0, target.size()) != target ||
        name.substr(target.size(), kTmp.size()) != kTmp) {
        return false;
    }
    for (char c : name.substr(target.size() + kTmp.size())) {
        const bool letterOrDigit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit) {
            return false;
        }
    }
    return true;
}

bool sameFile(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// A writer holds a lock on its temporary file until the rename, and the lock dies with the
// process: a temporary file nobody holds is left from an interrupted save.
void removeIfAbandoned(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        sameFile(fd, path)) {
        ::unlink(path.c_str());
    }
    ::close(fd);
}

// A new temporary file next to `target`, locked for as long as the descriptor is open; -1 with
// errno set on failure.
int createTemporary(const std::string& target, std::string& temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target + ".tmpXXXXXX";
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            return -1;
        }
        if (::flock(fd, LOCK_EX) != 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            errno = error;
            return -1;
        }
        // Between creation and lock another save may have taken it for abandoned and removed
        // it; then a new one is made.
        if (sameFile(fd, temp)) {
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

} // namespace

void removeStaleTemporaries(const std::string& path) {
    const std::string target = resolveTarget(path);
    const std::string folder = folderOf(target);
    const std::string name = nameOf(target);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (isTemporaryName(entry->d_name, name)) {
            stale.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    for (const auto& file : stale) {
        removeIfAbandoned(folder + "/" + file);
    }
}

std::string replaceFile(const std::string& path, std::string_view bytes) {
    const std::string target = resolveTarget(path);
    removeStaleTemporaries(target);
    std::string temp;
    const int fd = createTemporary(target, temp);
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
    // Renamed while still locked, so no other save can take it for abandoned; the bytes are on
    // disk already, so closing afterwards cannot lose them.
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        return abandon(errno);
    }
    ::close(fd);
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
