#include "ui/QtServiceDialogs.h"

#include "ui/FrmAutoTuneDialog.h"
#include "ui/FrmCalibrateADDialog.h"
#include "ui/FrmCalibrateCLDialog.h"
#include "ui/FrmEditGTDialog.h"
#include "ui/FrmEepromDialogs.h"
#include "ui/FrmValveDialog.h"
#include "ui/FrmZeroManDialog.h"

#include <QTimer>

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

namespace kvt::ui {

void QtServiceDialogs::showCalibrateCL(service::CalibrateCL& logic) {
    FrmCalibrateCLDialog dlg(logic, parent_);
    dlg.exec();
}

void QtServiceDialogs::showEditGT(service::EditGasTable& logic) {
    FrmEditGTDialog dlg(logic, parent_);
    dlg.exec();
}

void QtServiceDialogs::showAutoTune(service::AutoTune& logic) {
    FrmAutoTuneDialog dlg(logic, parent_);
    dlg.exec();
}

void QtServiceDialogs::showExport(service::EepromExport& logic) {
    FrmExportEDialog dlg(logic, parent_);
    // The reading runs with the window up, so its progress and Cancel are seen.
    QTimer::singleShot(0, &dlg, [&logic] { logic.Form_Load(); });
    dlg.exec();
}

void QtServiceDialogs::showImport(service::EepromImport& logic) {
    FrmImportEDialog dlg(logic, parent_);
    dlg.exec();
}

void QtServiceDialogs::showCompare(service::EepromCompare& logic) {
    FrmCompareEDialog dlg(logic, parent_);
    dlg.exec();
}

} // namespace kvt::ui
