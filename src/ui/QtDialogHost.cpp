#include "ui/QtDialogHost.h"

#include "ui/FrmAbout.h"
#include "ui/FrmDPropDialog.h"
#include "ui/FrmProgramDialog.h"
#include "ui/FrmPropertiesDialog.h"

namespace kvt::ui {

void QtDialogHost::showProperties(monitor::FrmProperties& logic) {
    FrmPropertiesDialog dlg(logic, parent_);
    dlg.exec();
}

void QtDialogHost::showDeviceProperties(monitor::FrmDProp& logic) {
    FrmDPropDialog dlg(logic, parent_);
    dlg.exec();
}

void QtDialogHost::showProgram(monitor::FrmProg& logic) {
    FrmProgramDialog dlg(logic, parent_);
    dlg.exec();
}

void QtDialogHost::showAbout() {
    FrmAbout dlg(parent_);
    dlg.exec();
}

} // namespace kvt::ui
