#pragma once

#include "service/ServiceDialogs.h"

class QWidget;

namespace kvt::ui {

// Runs the modal service dialogs over the main window.
class QtServiceDialogs final : public service::ServiceDialogs {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void showZeroMan(service::ZeroAdjust& dialog) override;
    void showCalibrateAD(service::CalibrateAD& dialog) override;
    void showValve(service::ValveTable& dialog) override;
    bool hasGasTableWindows() const override { return true; }
    void showCalibrateCL(service::CalibrateCL& dialog) override;
    void showEditGT(service::EditGasTable& dialog) override;
    bool hasAutoTuneWindow() const override { return true; }
    void showAutoTune(service::AutoTune& dialog) override;
    bool hasEepromWindows() const override { return true; }
    void showExport(service::EepromExport& dialog) override;
    void showImport(service::EepromImport& dialog) override;
    void showCompare(service::EepromCompare& dialog) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace kvt::ui
