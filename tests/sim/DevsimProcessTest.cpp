// Runs the built kvt-devsim with plain POSIX calls; serving over the link is the end-to-end
// tests' part.

#include "../support/DevSimProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

using kvt::testing::DevSimProcess;

std::string devsimPath() {
    const char* env = std::getenv("KVT_DEVSIM");
    return env != nullptr && *env != '\0' ? env : KVT_DEVSIM_PATH;
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
