#include "ui/QtServiceDialogs.h"

#include "ui/FrmCalibrateADDialog.h"
#include "ui/FrmValveDialog.h"
#include "ui/FrmZeroManDialog.h"

namespace kvt::ui {

void QtServiceDialogs::showZeroMan(service::ZeroAdjust& logic) {
    FrmZeroManDialog dlg(logic, parent_);
    dlg.exec();
}

} // namespace kvt::ui

namespace kvt::ui {

void QtServiceDialogs::showCalibrateAD(service::CalibrateAD& logic) {
    FrmCalibrateADDialog dlg(logic, parent_);
    dlg.exec();
}

} // namespace kvt::ui

namespace kvt::ui {

void QtServiceDialogs::showValve(service::ValveTable& logic) {
    FrmValveDialog dlg(logic, parent_);
    dlg.exec();
}

} // namespace kvt::ui
