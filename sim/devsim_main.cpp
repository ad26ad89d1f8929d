// kvt-devsim: simulated flow controllers on a pseudo-terminal.

#include "sim/Bus.h"
#include "sim/DevsimOptions.h"
#include "sim/Wire.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int) {
    int saved = errno;
    char c = 1;
    [[maybe_unused]] auto n = write(signalPipe[1], &c, 1);
    errno = saved;
}

speed_t speedFor(long baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600; // a pty ignores it anyway; wire time is modelled here
    }
}

// The speed a termios speed code stands for; 0 for codes this table does not know.
long baudOf(speed_t speed) {
    static const std::pair<speed_t, long> table[] = {
        {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
        {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
        {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
        {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
        {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (const auto& [code, baud] : table)
        if (code == speed)
            return baud;
    return 0;
}

bool setNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string errorText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
};

bool openPty(long baud, Pty& pty, std::string& error) {
    pty.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (pty.master < 0) {
        error = errorText("posix_openpt");
        return false;
    }
    if (grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) {
        error = errorText("grantpt/unlockpt");
        return false;
    }
    const char* name = ptsname(pty.master);
    if (name == nullptr) {
        error = errorText("ptsname");
        return false;
    }
    pty.path = name;
    // Our own slave descriptor stays open for the whole run: without it the master reports a
    // hang-up whenever no terminal has the port open, and poll() would spin.
    pty.slave = open(name, O_RDWR | O_NOCTTY);
    if (pty.slave < 0) {
        error = errorText("open " + pty.path);
        return false;
    }
    termios tio{};
    if (tcgetattr(pty.slave, &tio) != 0) {
        error = errorText("tcgetattr");
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, speedFor(baud));
    cfsetospeed(&tio, speedFor(baud));
    if (tcsetattr(pty.slave, TCSANOW, &tio) != 0) {
        error = errorText("tcsetattr");
        return false;
    }
    if (!setNonBlocking(pty.master)) {
        error = errorText("fcntl");
        return false;
    }
    return true;
}

bool makeLink(const std::string& target, const std::string& link, std::string& error) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = link + " exists and is not a symlink; not replacing it";
        return false;
    }
    // Build beside it and rename over: a stale link is replaced in one step.
    std::string temp = link + ".kvt-devsim." + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(target.c_str(), temp.c_str()) != 0) {
        error = errorText("symlink " + link);
        return false;
    }
    if (rename(temp.c_str(), link.c_str()) != 0) {
        error = errorText("rename to " + link);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void removeLink(const std::string& target, const std::string& link) {
    std::vector<char> buf(4096);
    ssize_t n = readlink(link.c_str(), buf.data(), buf.size() - 1);
    // Only our own link: another simulator may have taken the name over since.
    if (n >= 0 && std::string(buf.data(), static_cast<std::size_t>(n)) == target)
        unlink(link.c_str());
}

std::string printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r')
            out += "<CR>";
        else if (c == '\n')
            out += "<LF>";
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    using namespace kvt::sim;
    std::vector<std::string> args(argv + 1, argv + argc);
    DevsimParse parsed = parseDevsimArguments(args);
    if (!parsed.options) {
        std::cerr << "kvt-devsim: " << parsed.error << "\n\n" << devsimUsage();
        return 2;
    }
    const DevsimOptions& o = *parsed.options;
    if (o.help) {
        std::cout << devsimUsage();
        return 0;
    }

    Bus bus(o.mode, deviceOptionsFor(o));
    LinePacer pacer(o.baud, o.delayMs / 1000.0);
    Garbler garbler(o.noisePercent, o.seed);

    if (pipe(signalPipe) != 0 || !setNonBlocking(signalPipe[0]) || !setNonBlocking(signalPipe[1])) {
        std::cerr << "kvt-devsim: " << errorText("pipe") << "\n";
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Pty pty;
    std::string error;
    if (!openPty(o.baud, pty, error)) {
        std::cerr << "kvt-devsim: " << error << "\n";
        return 1;
    }
    if (!o.link.empty() && !makeLink(pty.path, o.link, error)) {
        std::cerr << "kvt-devsim: " << error << "\n";
        return 1;
    }
    std::cout << pty.path << std::endl;
    if (o.verbose)
        std::cerr << "kvt-devsim: " << (o.mode == LineMode::Rs232 ? "RS-232" : "RS-485") << ", "
                  << bus.deviceCount() << " device(s), " << o.baud << " baud on " << pty.path
                  << (o.link.empty() ? "" : " (" + o.link + ")") << "\n";

    const auto start = std::chrono::steady_clock::now();
    auto now = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };

    std::string unsent; // due bytes the master would not take yet
    bool writeBlocked = false;
    double masterPausedUntil = -1.0;
    std::size_t logged = 0;
    std::vector<char> buf(4096);
    bool running = true;
    // Whoever opened the other side may set the line speed (a device server passing on what its
    // client asked for); the log says what the device side sees, once per change.
    long lineSpeed = 0;
    auto reportLineSpeed = [&] {
        termios tio{};
        if (!o.verbose || tcgetattr(pty.slave, &tio) != 0)
            return;
        const long seen = baudOf(cfgetospeed(&tio));
        if (seen != 0 && seen != lineSpeed) {
            lineSpeed = seen;
            std::cerr << "line speed " << seen << "\n";
        }
    };

    std::uint64_t streamed = 0;
    while (running) {
        double t = now();
        // A few lines ahead is enough to keep the line busy; the pacer spaces them by wire time.
        while (o.stream && pacer.queued() < 256) {
            char line[80];
            std::snprintf(line, sizeof line,
                          "stream %08llu 0123456789 abcdefghijklmnopqrstuvwxyz\r\n",
                          static_cast<unsigned long long>(++streamed));
            pacer.queue(line, t);
        }
        int timeoutMs = -1;
        if (auto due = pacer.nextDue())
            timeoutMs = static_cast<int>(std::ceil(std::max(0.0, *due - t) * 1000.0));
        bool masterPaused = masterPausedUntil > t;
        if (masterPaused) {
            int pauseMs = static_cast<int>(std::ceil((masterPausedUntil - t) * 1000.0));
            timeoutMs = timeoutMs < 0 ? pauseMs : std::min(timeoutMs, pauseMs);
        }
        pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {pty.master, 0, 0}};
        if (!masterPaused)
            fds[1].events = static_cast<short>(POLLIN | (writeBlocked ? POLLOUT : 0));
        int ready = poll(fds, 2, timeoutMs);
        if (ready < 0 && errno != EINTR) {
            std::cerr << "kvt-devsim: " << errorText("poll") << "\n";
            break;
        }
        if (ready > 0 && (fds[0].revents & POLLIN))
            running = false;

        if (ready > 0 && (fds[1].revents & POLLIN)) {
            ssize_t n = read(pty.master, buf.data(), buf.size());
            if (n > 0) {
                reportLineSpeed();
                std::vector<double> arrived = pacer.arrive(static_cast<std::size_t>(n), now());
                std::size_t from = 0;
                for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
                    if (buf[i] != '\r' && i + 1 != static_cast<std::size_t>(n))
                        continue;
                    std::string reply =
                        bus.receive(std::string_view(buf.data() + from, i + 1 - from), arrived[i]);
                    from = i + 1;
                    if (o.verbose)
                        for (; logged < bus.commandLog().size(); ++logged)
                            std::cerr << "<< " << printable(bus.commandLog()[logged]) << "\n";
                    if (reply.empty() || o.silent)
                        continue;
                    reply = garbler.apply(std::move(reply));
                    if (o.verbose)
                        std::cerr << ">> " << printable(reply) << "\n";
                    pacer.queue(reply, arrived[i]);
                }
            }
        } else if (ready > 0 && (fds[1].revents & (POLLHUP | POLLERR))) {
            // Should not happen while our slave is open; back off instead of spinning.
            masterPausedUntil = now() + 0.1;
        }

        unsent += pacer.takeDue(now());
        // Nobody reading: a real line would lose these bytes too; keep the newest only.
        constexpr std::size_t kMaxUnsent = 64 * 1024;
        if (unsent.size() > kMaxUnsent)
            unsent.erase(0, unsent.size() - kMaxUnsent);
        if (!unsent.empty()) {
            ssize_t w = write(pty.master, unsent.data(), unsent.size());
            if (w > 0)
                unsent.erase(0, static_cast<std::size_t>(w));
            writeBlocked = !unsent.empty();
        }
    }

    if (!o.link.empty())
        removeLink(pty.path, o.link);
    close(pty.slave);
    close(pty.master);
    return 0;
}
