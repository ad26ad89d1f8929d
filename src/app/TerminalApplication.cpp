#include "app/TerminalApplication.h"

#include "monitor/FrmTerminal.h"
#include "platform/qt/QtOperator.h"
#include "platform/qt/QtPreferenceStore.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "ui/FrmTerminalWindow.h"
#include "ui/QtDialogHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kvt::app {

std::string setupFilePath(const std::string& programFolder, bool programFolderWritable,
                          const std::string& userDataFolder) {
    const std::string& folder = programFolderWritable ? programFolder : userDataFolder;
    return folder + "/setup.dat";
}

struct TerminalApplication::Parts {
    platform::qt::QtPreferenceStore preferences;
    platform::qt::QtSerialPort port{preferences};
    platform::qt::QtRuntime runtime;
    platform::qt::QtOperator op;
    ui::QtDialogHost dialogs;
    std::unique_ptr<monitor::FrmTerminal> logic;
    std::unique_ptr<ui::FrmTerminalWindow> window;
};

namespace {

std::string chooseSetupPath() {
    QString programFolder = QCoreApplication::applicationDirPath();
    bool writable = QFileInfo(programFolder).isWritable();
    QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         "/KVT Control Terminal";
    if (!writable)
        QDir().mkpath(dataFolder);
    return setupFilePath(QFile::encodeName(programFolder).toStdString(), writable,
                         QFile::encodeName(dataFolder).toStdString());
}

// Logs are proposed beside the program, or in the user's documents when that folder is read-only.
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
    p.logic = std::make_unique<monitor::FrmTerminal>(monitor::FrmTerminal::Services{
        p.port, p.runtime, p.op, p.preferences, p.dialogs, chooseSetupPath(), chooseLogFolder()});
    p.window = std::make_unique<ui::FrmTerminalWindow>(*p.logic);
    p.op.setParent(p.window.get());
    p.dialogs.setParent(p.window.get());
}

TerminalApplication::~TerminalApplication() {
    // Ends any wait still in progress before the pieces it waits on go away.
    parts_->runtime.pump().shutdown();
}

void TerminalApplication::start() {
    parts_->window->show();
    parts_->logic->Form_Load();
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
