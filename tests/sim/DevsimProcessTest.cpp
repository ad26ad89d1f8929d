// Runs the built kvt-devsim on a real pseudo-terminal with plain POSIX calls.

#include "../support/DevSimProcess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

using kvt::testing::DevSimProcess;

std::string devsimPath() {
    const char* env = std::getenv("KVT_DEVSIM");
    return env != nullptr && *env != '\0' ? env : KVT_DEVSIM_PATH;
}

// Reads until the text read ends with `end`, EOF, or ten seconds (a net against a hung child).
std::string readUntil(int fd, const std::string& end) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!got.ends_with(end)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, POLLIN, 0};
        const int r = left > 0 ? poll(&p, 1, static_cast<int>(left)) : 0;
        if (r < 0 && errno == EINTR)
            continue;
        char c;
        if (r <= 0 || read(fd, &c, 1) != 1)
            break;
        got += c;
    }
    return got;
}

int openRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Sends each command and returns what came back up to each reply's end.
std::string exchange(int fd, const std::string& bytes, const std::string& end) {
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    return readUntil(fd, end);
}

// Runs the simulator to its end: its first line of output and its exit status.
std::pair<std::string, int> runToEnd(const std::string& args) {
    FILE* p = ::popen(("'" + devsimPath() + "' " + args + " 2>/dev/null").c_str(), "r");
    if (p == nullptr)
        return {"", -1};
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, p) != nullptr;
    const int status = ::pclose(p);
    return {got ? line : "", WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

class DevsimProcess : public ::testing::Test {
protected:
    void SetUp() override {
        if (devsimPath().empty() || access(devsimPath().c_str(), X_OK) != 0)
            GTEST_SKIP() << "kvt-devsim not found: set KVT_DEVSIM to the built binary";
    }
};

TEST_F(DevsimProcess, ServesOneDeviceOnAPseudoTerminal) {
    DevSimProcess sim(devsimPath(), {}, "/dev/null");
    int fd = openRaw(sim.path());
    ASSERT_GE(fd, 0) << sim.path();
    const std::string reading = exchange(fd, "f\r", ">");
    EXPECT_TRUE(std::regex_match(reading, std::regex("[0-9]+\\.[0-9]{3}\r\n>"))) << reading;
    // A command split over two writes, and two in one.
    EXPECT_EQ(write(fd, "s,2", 3), 3);
    EXPECT_EQ(exchange(fd, "5\rv,s\r", ">"), "S25.000\r\n>");
    EXPECT_EQ(readUntil(fd, ">"), "VA\r\n>");
    close(fd);
    // A terminal that closed and came back is served as before.
    fd = openRaw(sim.path());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(exchange(fd, "e\r", ">"), "100\r\n>");
    close(fd);
    sim.stop();
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST_F(DevsimProcess, ServesAnRs485BusOfTwo) {
    DevSimProcess sim(devsimPath(), {"--rs485", "01,02", "--full-scale", "50", "--baud", "19200"},
                      "/dev/null");
    const int fd = openRaw(sim.path());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(exchange(fd, "!02,e\r", "\r\n"), "02: 50\r\n");
    // Silent addresses first: the first answer on the line is the addressed one's.
    EXPECT_EQ(exchange(fd, "!03,f\r!00,v,c\r!01,v,s\r", "\r\n"), "01: VA\r\n");
    EXPECT_EQ(exchange(fd, "v,c\r!02,v,s\r", "\r\n"), "02: VA\r\n");
    close(fd);
    sim.stop();
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST_F(DevsimProcess, LinkReplacesAStaleOneAndGoesAwayOnExit) {
    char dirTemplate[] = "/tmp/kvt-devsim-test-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string link = std::string(dirTemplate) + "/com1";
    ASSERT_EQ(symlink("/nonexistent/pts", link.c_str()), 0);
    struct stat st {};
    {
        DevSimProcess sim(devsimPath(), {"--link", link}, "/dev/null");
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), sim.path());
        const int fd = openRaw(link);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(exchange(fd, "v,o\r", ">"), "VO\r\n>");
        close(fd);
        sim.stop();
        EXPECT_EQ(sim.exitCode(), 0);
        EXPECT_NE(lstat(link.c_str(), &st), 0) << "link left behind";
    }
    // Something that is not a link is never replaced.
    close(open(link.c_str(), O_CREAT | O_WRONLY, 0600));
    EXPECT_EQ(runToEnd("--link " + link), std::make_pair(std::string(), 1));
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    unlink(link.c_str());
    rmdir(dirTemplate);
}

TEST_F(DevsimProcess, HelpAndBadArguments) {
    const auto [usage, helpStatus] = runToEnd("--help");
    EXPECT_EQ(usage.rfind("Usage: kvt-devsim", 0), 0u) << usage;
    EXPECT_EQ(helpStatus, 0);
    EXPECT_EQ(runToEnd("--rs485 00"), std::make_pair(std::string(), 2));
}

} // namespace
