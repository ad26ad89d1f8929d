// Runs the built kvt-devsim on a real pseudo-terminal with plain POSIX calls.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::string devsimPath() {
    if (const char* env = std::getenv("KVT_DEVSIM"); env != nullptr && *env != '\0')
        return env;
#ifdef KVT_DEVSIM_PATH
    return KVT_DEVSIM_PATH;
#else
    return {};
#endif
}

// A safety net against a hung child, not a measurement.
constexpr int kPatienceMs = 10000;

// Reads from fd until the text read ends with `end`, EOF, or patience runs out.
std::string readUntil(int fd, const std::string& end) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (got.size() < end.size() || got.compare(got.size() - end.size(), end.size(), end) != 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        char c;
        ssize_t n = read(fd, &c, 1);
        if (n == 1)
            got += c;
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return got;
}

class Devsim {
public:
    explicit Devsim(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0)
            return;
        std::vector<std::string> all = {devsimPath()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, all[0].c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        stdout_ = out[0];
        std::string line = readUntil(stdout_, "\n");
        if (!line.empty() && line.back() == '\n')
            path = line.substr(0, line.size() - 1);
        else
            firstOutput = line;
    }
    ~Devsim() {
        if (pid_ > 0)
            stop();
        if (stdout_ >= 0)
            close(stdout_);
    }
    // SIGTERM, then the exit status (-1 when it did not exit normally).
    int stop() {
        if (pid_ <= 0)
            return -1;
        kill(pid_, SIGTERM);
        return wait();
    }
    int wait() {
        int status = 0;
        pid_t waited = waitpid(pid_, &status, 0);
        pid_ = -1;
        return waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string path;
    std::string firstOutput;

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

int openRaw(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fd;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Digits, ".", three digits, then the RS-232 line end: "12.345\r\n>".
bool isReading(const std::string& reply) {
    return std::regex_match(reply, std::regex("[0-9]+\\.[0-9]{3}\r\n>"));
}

bool send(int fd, const std::string& bytes) {
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

class DevsimProcess : public ::testing::Test {
protected:
    void SetUp() override {
        std::string path = devsimPath();
        if (path.empty() || access(path.c_str(), X_OK) != 0)
            GTEST_SKIP() << "kvt-devsim not found: set KVT_DEVSIM to the built binary";
    }
};

TEST_F(DevsimProcess, ServesOneDeviceOnAPseudoTerminal) {
    Devsim sim({});
    ASSERT_FALSE(sim.path.empty()) << "first output: " << sim.firstOutput;
    int fd = openRaw(sim.path);
    ASSERT_GE(fd, 0) << sim.path;
    ASSERT_TRUE(send(fd, "f\r"));
    std::string reply = readUntil(fd, ">");
    EXPECT_TRUE(isReading(reply)) << reply;
    ASSERT_TRUE(send(fd, "s,2"));
    ASSERT_TRUE(send(fd, "5\rv,s\r"));
    EXPECT_EQ(readUntil(fd, ">"), "S25.000\r\n>");
    EXPECT_EQ(readUntil(fd, ">"), "VA\r\n>");
    close(fd);
    // A terminal that closed and came back is served as before.
    fd = openRaw(sim.path);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(send(fd, "e\r"));
    EXPECT_EQ(readUntil(fd, ">"), "100\r\n>");
    close(fd);
    EXPECT_EQ(sim.stop(), 0);
}

TEST_F(DevsimProcess, ServesAnRs485BusOfTwo) {
    Devsim sim({"--rs485", "01,02", "--full-scale", "50", "--baud", "19200"});
    ASSERT_FALSE(sim.path.empty()) << sim.firstOutput;
    int fd = openRaw(sim.path);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(send(fd, "!02,e\r"));
    EXPECT_EQ(readUntil(fd, "\r\n"), "02: 50\r\n");
    // Silent addresses first: the first answer on the line is the addressed one's.
    ASSERT_TRUE(send(fd, "!03,f\r!00,v,c\r!01,v,s\r"));
    EXPECT_EQ(readUntil(fd, "\r\n"), "01: VA\r\n");
    ASSERT_TRUE(send(fd, "v,c\r!02,v,s\r"));
    EXPECT_EQ(readUntil(fd, "\r\n"), "02: VA\r\n");
    close(fd);
    EXPECT_EQ(sim.stop(), 0);
}

TEST_F(DevsimProcess, LinkReplacesAStaleOneAndGoesAwayOnExit) {
    char dirTemplate[] = "/tmp/kvt-devsim-test-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    const std::string link = dir + "/com1";
    ASSERT_EQ(symlink("/nonexistent/pts", link.c_str()), 0);
    {
        Devsim sim({"--link", link});
        ASSERT_FALSE(sim.path.empty()) << sim.firstOutput;
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), sim.path);
        int fd = openRaw(link);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(send(fd, "v,o\r"));
        EXPECT_EQ(readUntil(fd, ">"), "VO\r\n>");
        close(fd);
        EXPECT_EQ(sim.stop(), 0);
        struct stat st {};
        EXPECT_NE(lstat(link.c_str(), &st), 0) << "link left behind";
    }
    // Something that is not a link is never replaced.
    int file = open(link.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(file, 0);
    close(file);
    {
        Devsim sim({"--link", link});
        EXPECT_TRUE(sim.path.empty());
        EXPECT_EQ(sim.wait(), 1);
        struct stat st {};
        ASSERT_EQ(lstat(link.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
    }
    unlink(link.c_str());
    rmdir(dir.c_str());
}

TEST_F(DevsimProcess, HelpAndBadArguments) {
    {
        Devsim sim({"--help"});
        EXPECT_EQ(sim.path.rfind("Usage: kvt-devsim", 0), 0u) << sim.path;
        EXPECT_EQ(sim.wait(), 0);
    }
    {
        Devsim sim({"--rs485", "00"});
        EXPECT_TRUE(sim.path.empty());
        EXPECT_EQ(sim.wait(), 2);
    }
}

} // namespace
