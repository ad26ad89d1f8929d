#pragma once

// Starts kvt-devsim as a child process and learns the pseudo-terminal it serves. Plain POSIX, so
// both the tests and the benchmarks can use it.

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kvt::testing {

// Starts argv[0] with `argv`. Its standard error goes to `log` when one is named, its standard
// output to the descriptor `out` when one is given, else to `log` as well.
inline pid_t spawn(const std::vector<std::string>& argv, const std::string& log, int out = -1) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int err = log.empty() ? -1 : ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0)
        dup2(err, STDERR_FILENO);
    if (out >= 0 || err >= 0)
        dup2(out >= 0 ? out : err, STDOUT_FILENO);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

// Ends the child `pid` if there is one: its exit status, -1 when it did not exit normally.
inline int stopChild(pid_t& pid) {
    if (pid <= 0)
        return -1;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class DevSimProcess {
public:
    // `errorLog`: a file that receives the simulator's standard error (its --verbose trace).
    DevSimProcess(const std::string& program, const std::vector<std::string>& args,
                  const std::string& errorLog = {}) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        pid_ = spawn(argv, errorLog, out[1]);
        close(out[1]);
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
        // The first line is the device path.
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            path_ += c;
        out_ = out[0];
        if (path_.empty()) {
            stop();
            throw std::runtime_error("kvt-devsim did not print its path: " + program);
        }
    }
    ~DevSimProcess() { stop(); }
    DevSimProcess(const DevSimProcess&) = delete;
    DevSimProcess& operator=(const DevSimProcess&) = delete;

    const std::string& path() const { return path_; }
    pid_t pid() const { return pid_; }
    // After stop(): the exit status, -1 when the simulator did not exit normally.
    int exitCode() const { return exitCode_; }

    void stop() {
        if (pid_ > 0)
            exitCode_ = stopChild(pid_);
        if (out_ >= 0) {
            close(out_);
            out_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int exitCode_ = -1;
    std::string path_;
};

// The commands a --verbose simulator logged ("<< " lines), in order.
inline std::vector<std::string> receivedCommands(const std::string& log) {
    std::vector<std::string> out;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("<< ", 0) == 0)
            out.push_back(line.substr(3));
    return out;
}

} // namespace kvt::testing
