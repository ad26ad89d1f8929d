// kvt-ctl: the terminal's link for scripts. Same link layer and ports as kvt-terminal, no widgets.

#include "app/CtlCommands.h"
#include "app/CtlOptions.h"
#include "config/SetupFile.h"
#include "link/CommSettings.h"
#include "platform/qt/QtPreferenceStore.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <fstream>
#include <iostream>
#include <map>

#ifndef KVT_VERSION
#define KVT_VERSION "0"
#endif

namespace {

using namespace kvt;

volatile std::sig_atomic_t stopSignal = 0;
extern "C" void onStopSignal(int) {
    stopSignal = 1;
}

// The terminal's preferences, read only: kvt-ctl never saves one. A --port PATH stands in for the
// mapping of the port number without touching the stored one.
class ReadOnlyPreferences final : public platform::PreferenceStore {
public:
    explicit ReadOnlyPreferences(const platform::PreferenceStore& inner) : inner_(inner) {}
    std::string get(const std::string& application, const std::string& section,
                    const std::string& key, const std::string& defaultValue) const override {
        if (auto it = overrides_.find(section + "/" + key); it != overrides_.end())
            return it->second;
        return inner_.get(application, section, key, defaultValue);
    }
    void save(const std::string&, const std::string&, const std::string&,
              const std::string&) override {}
    void replace(const std::string& section, const std::string& key, const std::string& value) {
        overrides_[section + "/" + key] = value;
    }

private:
    const platform::PreferenceStore& inner_;
    std::map<std::string, std::string> overrides_;
};

int usageError(const std::string& why) {
    std::cerr << "kvt-ctl: " << why << "\nTry kvt-ctl --help.\n";
    return app::CtlExit::Usage;
}

// The setup.dat the terminal would read: beside the program when that folder is writable,
// otherwise the per-user one, or, before the terminal has made that, the one beside the program.
std::string setupPath() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString beside = programFolder + "/setup.dat";
    if (QFileInfo(programFolder).isWritable())
        return QFile::encodeName(beside).toStdString();
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         "/KVT Control Terminal/setup.dat";
    return QFile::encodeName(QFileInfo::exists(user) ? user : beside).toStdString();
}

// The devices of setup.dat in table order (slot 1 first), read without changing the file.
std::vector<config::DeviceRecord> readDevices(const std::string& path) {
    std::vector<config::DeviceRecord> devices;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line) && devices.size() < 64;) {
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        if (auto rec = config::parseSetupLine(line))
            devices.push_back(*rec);
    }
    return devices;
}

int toInt(const std::string& text, int fallback) {
    try {
        std::size_t used = 0;
        const int v = std::stoi(text, &used);
        return used == text.size() ? v : fallback;
    } catch (...) {
        return fallback;
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const app::CtlParse parsed = app::parseCtlArguments(args);
    if (!parsed.options)
        return usageError(parsed.error);
    const app::CtlOptions& o = *parsed.options;
    if (o.help) {
        std::cout << app::ctlUsage();
        return app::CtlExit::Ok;
    }
    if (o.version) {
        std::cout << "kvt-ctl " << KVT_VERSION << "\n";
        return app::CtlExit::Ok;
    }

    QCoreApplication qt(argc, argv);
    QCoreApplication::setApplicationName(link::kApplication);

    platform::qt::QtPreferenceStore stored;
    ReadOnlyPreferences prefs(stored);
    auto pref = [&](const std::string& key, const std::string& fallback) {
        return prefs.get(link::kApplication, "Properties", key, fallback);
    };

    int portNumber = o.portNumber.value_or(toInt(pref("CommPort", "1"), 1));
    if (portNumber < 1 || portNumber > platform::qt::QtSerialPort::kMaxPort)
        portNumber = 1;
    if (o.portPath)
        prefs.replace(platform::qt::QtSerialPort::kPortsSection, "Com" + std::to_string(portNumber),
                      *o.portPath);

    platform::qt::QtSerialPort port(prefs);
    if (auto error = port.setCommPort(portNumber); !error.empty()) {
        std::cerr << "kvt-ctl: " << error << "\n";
        return app::CtlExit::Port;
    }
    if (o.settings) {
        if (auto error = port.setSettings(*o.settings); !error.empty())
            return usageError("--settings " + *o.settings + ": " + error);
    } else if (const std::string saved = pref("Settings", ""); !saved.empty()) {
        if (auto error = port.setSettings(saved); !error.empty()) {
            std::cerr << "kvt-ctl: saved settings " << saved << ": " << error << "\n";
            return app::CtlExit::Port;
        }
    }
    if (const std::string saved = pref("Handshaking", ""); !saved.empty())
        (void)port.setHandshaking(toInt(saved, 0));

    const bool rs232 = o.rs232.value_or(pref("Interface", "True") != "False");
    const auto devices = readDevices(setupPath());
    std::map<std::string, double> setPoints;
    for (const auto& d : devices)
        setPoints.emplace(d.Address, d.SetPoint);
    std::string address = o.address;
    if (address.empty()) {
        const int current = toInt(pref("Cur_unit", "1"), 1);
        if (current >= 1 && current <= static_cast<int>(devices.size()))
            address = devices[static_cast<std::size_t>(current - 1)].Address;
    }
    const bool needsAddress =
        !rs232 && o.command != "scan" && !(o.command == "watch" && !o.watchAddresses.empty());
    if (needsAddress && !app::deviceAddress(address))
        return usageError("no device address for the RS-485 line: give --rs485 ADDR");

    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    platform::qt::QtRuntime runtime;
    app::CtlHost host{
        port,
        runtime,
        std::cout,
        std::cerr,
        [] { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString(); },
        [] { return stopSignal != 0; },
        setPoints};
    return app::runCtlCommand(o, rs232, address, host);
}
