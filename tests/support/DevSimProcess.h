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

class DevSimProcess {
public:
    // `errorLog`: a file that receives the simulator's standard error (its --verbose trace).
    DevSimProcess(const std::string& program, const std::vector<std::string>& args,
                  const std::string& errorLog = {}) {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe failed");
        pid_ = fork();
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            if (!errorLog.empty()) {
                int err = open(errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (err >= 0)
                    dup2(err, STDERR_FILENO);
            }
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
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
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;
        }
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
