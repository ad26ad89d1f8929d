#include "app/TerminalApplication.h"

#include "monitor/FrmTerminal.h"
#include "platform/qt/QtOperator.h"
#include "platform/qt/QtPreferenceStore.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "service/ServiceMenus.h"
#include "ui/FrmAutoZeroIPWindow.h"
#include "ui/FrmCancelSendWindow.h"
#include "ui/FrmSetSpanWindow.h"
#include "ui/FrmTerminalWindow.h"
#include "ui/QtDialogHost.h"
#include "ui/QtServiceDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>

#ifndef KVT_VERSION
#define KVT_VERSION "0"
#endif

namespace kvt::app {

std::string setupFilePath(const std::string& programFolder, bool programFolderWritable,
                          const std::string& userDataFolder) {
    const std::string& folder = programFolderWritable ? programFolder : userDataFolder;
    return folder + "/setup.dat";
}

SetupChoice chooseSetupFile(const std::string& programFolder, bool programFolderWritable,
                            const std::string& userDataFolder) {
    namespace fs = std::filesystem;
    const std::string user = setupFilePath(programFolder, false, userDataFolder);
    if (programFolderWritable)
        return {setupFilePath(programFolder, true, userDataFolder), {}};
    std::error_code ec;
    if (fs::exists(user, ec))
        return {user, {}};
    const std::string beside = setupFilePath(programFolder, true, userDataFolder);
    if (!fs::is_regular_file(beside, ec))
        return {user, {}};
    fs::create_directories(userDataFolder, ec);
    if (!ec)
        fs::copy_file(beside, user, ec);
    if (ec) {
        fs::remove(user, ec);
        return {beside, "setup.dat could not be copied to " + user + ": " + ec.message()};
    }
    return {user, "setup.dat copied from " + beside + " to " + user};
}

std::string terminalVersionText() {
    return std::string("kvt-terminal ") + KVT_VERSION + "\n";
}

std::string terminalHelpText() {
    return "Usage: kvt-terminal [--help] [--version]\n"
           "KVT Control Terminal: the desktop terminal for digital mass-flow controllers.\n"
           "\n"
           "Port N goes where the preference Ports/ComN points: a device path such as\n"
           "/dev/ttyUSB0, or a serial device server as tcp://HOST:PORT or rfc2217://HOST:PORT.\n"
           "setup.dat is kept beside the program when that folder is writable, otherwise in the\n"
           "per-user data folder.\n"
           "\n"
           "  --help      show this text\n"
           "  --version   show the version\n";
}

struct TerminalApplication::Parts {
    platform::qt::QtPreferenceStore preferences;
    platform::qt::QtSerialPort port{preferences};
    platform::qt::QtRuntime runtime;
    platform::qt::QtOperator op;
    ui::QtDialogHost dialogs;
    ui::QtServiceDialogs serviceDialogs;
    std::unique_ptr<monitor::FrmTerminal> logic;
    std::unique_ptr<service::ServiceMenus> service;
    std::unique_ptr<ui::FrmTerminalWindow> window;
    std::string setupNotice;
    std::unique_ptr<ui::FrmCancelSendWindow> cancelSend;
    std::unique_ptr<ui::FrmAutoZeroIPWindow> autoZero;
    std::unique_ptr<ui::FrmSetSpanWindow> setSpan;
};

namespace {

SetupChoice chooseSetup() {
    QString programFolder = QCoreApplication::applicationDirPath();
    bool writable = QFileInfo(programFolder).isWritable();
    QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         "/KVT Control Terminal";
    if (!writable)
        QDir().mkpath(dataFolder);
    return chooseSetupFile(QFile::encodeName(programFolder).toStdString(), writable,
                           QFile::encodeName(dataFolder).toStdString());
}

// Logs and EEPROM tables are proposed beside the program, or in the user's documents when that
// folder is read-only.
std::string chooseLogFolder() {
    QString programFolder = QCoreApplication::applicationDirPath();
    QString folder = QFileInfo(programFolder).isWritable()
                         ? programFolder
                         : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFile::encodeName(folder).toStdString();
}

} // namespace

TerminalApplication::TerminalApplication() : parts_(std::make_unique<Parts>()) {
    auto& p = *parts_;
    SetupChoice setup = chooseSetup();
    p.setupNotice = setup.notice;
    const std::string fileFolder = chooseLogFolder();
    p.logic = std::make_unique<monitor::FrmTerminal>(monitor::FrmTerminal::Services{
        p.port, p.runtime, p.op, p.preferences, p.dialogs, setup.path, fileFolder});
    p.service = std::make_unique<service::ServiceMenus>(*p.logic, p.serviceDialogs);
    // EEPROM tables are proposed where the logs are.
    p.service->eepromExport.folder = fileFolder;
    p.service->eepromImport.folder = fileFolder;
    p.service->eepromCompare.folder = fileFolder;
    p.window = std::make_unique<ui::FrmTerminalWindow>(*p.logic);
    p.cancelSend =
        std::make_unique<ui::FrmCancelSendWindow>(p.service->cancelWindow, p.window.get());
    p.autoZero = std::make_unique<ui::FrmAutoZeroIPWindow>(p.service->autoZeroWindow,
                                                           p.service->autoZero, p.window.get());
    p.setSpan = std::make_unique<ui::FrmSetSpanWindow>(p.service->spanWindow, p.service->span,
                                                       p.window.get());
    p.op.setParent(p.window.get());
    p.dialogs.setParent(p.window.get());
    p.serviceDialogs.setParent(p.window.get());
}

TerminalApplication::~TerminalApplication() {
    // Ends any wait still in progress before the pieces it waits on go away.
    parts_->runtime.pump().shutdown();
    // The small windows go before the main window that owns them as their parent.
    parts_->cancelSend.reset();
    parts_->autoZero.reset();
    parts_->setSpan.reset();
}

void TerminalApplication::start() {
    parts_->window->show();
    parts_->logic->Form_Load();
    if (!parts_->setupNotice.empty()) {
        auto& model = parts_->logic->model;
        model.sbrStatus["Status"].text = "Status: " + parts_->setupNotice;
        model.changed();
    }
}

monitor::FrmTerminal& TerminalApplication::logic() {
    return *parts_->logic;
}
platform::SerialPort& TerminalApplication::port() {
    return parts_->port;
}

bool TerminalApplication::loaderDone() const {
    return !parts_->logic->loaderActive();
}

} // namespace kvt::app
