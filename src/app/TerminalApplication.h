#pragma once

#include <memory>
#include <string>

namespace kvt::monitor {
class FrmTerminal;
}
namespace kvt::platform {
class SerialPort;
}

namespace kvt::app {

// Where setup.dat lives: in the program's folder when the program may write there, otherwise in the
// per-user data folder (created when needed).
std::string setupFilePath(const std::string& programFolder, bool programFolderWritable,
                          const std::string& userDataFolder);

// The setup.dat to use, and what to tell the operator about it. An installed program's folder is
// not writable: the per-user file is used, and when it does not exist yet the one beside the
// program (shipped or placed by an administrator) is copied there first, so its table is not lost.
// If that copy fails the file beside the program is used as it is; saving it then reports why.
struct SetupChoice {
    std::string path;
    std::string notice; // for the status panel; empty when there is nothing to say
};
SetupChoice chooseSetupFile(const std::string& programFolder, bool programFolderWritable,
                            const std::string& userDataFolder);

// Texts of kvt-terminal --version and --help.
std::string terminalVersionText();
std::string terminalHelpText();

// The whole program wired together on the real host: Qt port, runtime, operator, preferences, the
// main window's logic and its widgets.
class TerminalApplication {
public:
    TerminalApplication();
    ~TerminalApplication();
    // Shows the main window and runs the load sequence (the device loader follows a second later).
    void start();
    // True once the start-up loader has finished (or stopped early).
    bool loaderDone() const;
    monitor::FrmTerminal& logic();
    platform::SerialPort& port();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace kvt::app
