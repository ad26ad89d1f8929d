#pragma once

// Starts the real ser2net on loopback in front of a device path, with its own config file: one raw
// TCP port and one RFC 2217 port. Plain POSIX, so both the tests and the benchmarks can use it.

#include "support/DevSimProcess.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kvt::testing {

class Ser2NetProcess {
public:
    // The installed ser2net, or "" when there is none.
    static std::string program() {
        const char* env = std::getenv("PATH");
        std::istringstream dirs((env ? std::string(env) + ":" : "") +
                                "/usr/sbin:/usr/bin:/sbin:/bin");
        for (std::string dir; std::getline(dirs, dir, ':');) {
            const std::string candidate = (dir.empty() ? "." : dir) + "/ser2net";
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        return {};
    }

    // `folder` receives the config, the pid file and ser2net's log.
    Ser2NetProcess(const std::string& device, const std::string& folder) {
        const std::string exe = program();
        if (exe.empty())
            throw std::runtime_error("ser2net is not installed");
        rawPort_ = freePort();
        telnetPort_ = freePort();
        const std::string config = folder + "/ser2net.yaml";
        {
            std::ofstream out(config);
            for (const auto& [name, accepter] :
                 {std::pair<std::string, std::string>{"raw",
                                                      "tcp,127.0.0.1," + std::to_string(rawPort_)},
                  {"rfc2217", "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(telnetPort_)}})
                out << "connection: &" << name << "\n"
                    << "  accepter: " << accepter << "\n"
                    << "  connector: serialdev," << device << ",9600n81,local\n"
                    << "  options:\n"
                    << "    kickolduser: true\n";
        }
        log_ = folder + "/ser2net.log";
        pid_ = spawn({exe, "-n", "-d", "-c", config, "-P", folder + "/ser2net.pid"}, log_);
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
        // Ready when both ports take connections.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!(accepts(rawPort_) && accepts(telnetPort_))) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("ser2net stopped at once; see " + log_);
            }
            if (std::chrono::steady_clock::now() > deadline) {
                stop();
                throw std::runtime_error("ser2net did not open its ports; see " + log_);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Ser2NetProcess() { stop(); }
    Ser2NetProcess(const Ser2NetProcess&) = delete;
    Ser2NetProcess& operator=(const Ser2NetProcess&) = delete;

    std::string rawUrl() const { return "tcp://127.0.0.1:" + std::to_string(rawPort_); }
    std::string rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(telnetPort_); }

    void stop() { stopChild(pid_); }

private:
    static int freePort() {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            if (fd >= 0)
                ::close(fd);
            throw std::runtime_error("no free loopback port");
        }
        ::close(fd);
        return ntohs(addr.sin_port);
    }

    // Whether something listens on the loopback port. Read from the kernel's table rather than
    // probed: a probe connection would make ser2net open and close the device just before the
    // test's own connection wants it.
    static bool accepts(int port) {
        std::ifstream table("/proc/net/tcp");
        char wanted[32];
        std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
        for (std::string line; std::getline(table, line);) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (local == wanted && state == "0A")
                return true;
        }
        return false;
    }

    pid_t pid_ = -1;
    int rawPort_ = 0;
    int telnetPort_ = 0;
    std::string log_;
};

} // namespace kvt::testing
