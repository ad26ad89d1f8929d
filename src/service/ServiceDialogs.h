#pragma once

namespace kvt::service {

class AutoTune;
class CalibrateAD;
class CalibrateCL;
class EepromCompare;
class EepromExport;
class EepromImport;
class EditGasTable;
class ValveTable;
class ZeroAdjust;

// Shows the modal service dialogs. The widget layer runs real windows; tests script what the
// operator does inside. Each call returns once the dialog's logic has closed it.
class ServiceDialogs {
public:
    virtual ~ServiceDialogs() = default;
    virtual void showZeroMan(ZeroAdjust& dialog) = 0;
    virtual void showCalibrateAD(CalibrateAD& dialog) = 0;
    virtual void showValve(ValveTable& dialog) = 0;
    // The gas table windows; their menus are offered only where these are shown.
    virtual bool hasGasTableWindows() const { return false; }
    virtual void showCalibrateCL(CalibrateCL&) {}
    virtual void showEditGT(EditGasTable&) {}
    virtual bool hasAutoTuneWindow() const { return false; }
    virtual void showAutoTune(AutoTune&) {}
    // The export window runs its reading once it shows.
    virtual bool hasEepromWindows() const { return false; }
    virtual void showExport(EepromExport&) {}
    virtual void showImport(EepromImport&) {}
    virtual void showCompare(EepromCompare&) {}
};

} // namespace kvt::service
