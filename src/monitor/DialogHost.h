#pragma once

namespace kvt::monitor {

class FrmProperties;
class FrmDProp;
class FrmProg;

// Shows the main window's modal dialogs. The widget layer implements it with real windows; tests
// script what the operator does inside.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    // Runs the dialog modally: returns once the dialog's logic has closed it (OK or Cancel).
    virtual void showProperties(FrmProperties& dialog) = 0;
    virtual void showAbout() = 0;
    virtual void showDeviceProperties(FrmDProp& dialog) = 0;
    virtual void showProgram(FrmProg& dialog) = 0;
};

} // namespace kvt::monitor
