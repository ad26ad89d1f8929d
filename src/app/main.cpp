#include "monitor/PortController.h"
#include "platform/qt/QtOperator.h"
#include "platform/qt/QtPreferenceStore.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "ui/FrmTerminalWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("KVT Control Terminal");

    kvt::platform::qt::QtPreferenceStore preferences;
    kvt::platform::qt::QtSerialPort port(preferences);
    kvt::platform::qt::QtRuntime runtime;
    kvt::platform::qt::QtOperator op;
    const std::string app_ = "KVT Control Terminal";
    if (auto s = preferences.get(app_, "Properties", "Settings", ""); !s.empty())
        (void)port.setSettings(s);
    if (auto n = preferences.get(app_, "Properties", "CommPort", ""); !n.empty())
        (void)port.setCommPort(std::atoi(n.c_str()));

    kvt::monitor::FrmTerminalModel model;
    kvt::monitor::PortController ports(model, port, runtime, op);
    ports.engine().interfaceRs232 = preferences.get(app_, "Properties", "Interface", "True") != "False";

    kvt::ui::FrmTerminalWindow window(model, ports);
    op.setParent(&window);
    window.show();
    int rc = app.exec();
    runtime.pump().shutdown();
    return rc;
}
