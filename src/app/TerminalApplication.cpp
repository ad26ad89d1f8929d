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
    ui::QtServiceDialogs serviceDialogs;
    std::unique_ptr<monitor::FrmTerminal> logic;
    std::unique_ptr<service::ServiceMenus> service;
    std::unique_ptr<ui::FrmTerminalWindow> window;
    std::unique_ptr<ui::FrmCancelSendWindow> cancelSend;
    std::unique_ptr<ui::FrmAutoZeroIPWindow> autoZero;
    std::unique_ptr<ui::FrmSetSpanWindow> setSpan;
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

} // namespace

TerminalApplication::TerminalApplication() : parts_(std::make_unique<Parts>()) {
    auto& p = *parts_;
    p.logic = std::make_unique<monitor::FrmTerminal>(monitor::FrmTerminal::Services{
        p.port, p.runtime, p.op, p.preferences, p.dialogs, chooseSetupPath()});
    p.service = std::make_unique<service::ServiceMenus>(*p.logic, p.serviceDialogs);
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
