#pragma once

#include "service/AutoTune.h"
#include "service/AutoZero.h"
#include "service/CalibrateAD.h"
#include "service/EepromCompare.h"
#include "service/EepromTransfer.h"
#include "service/FrmCancelSend.h"
#include "service/GasTable.h"
#include "service/QueryMenu.h"
#include "service/ServiceLink.h"
#include "service/SpanSetting.h"
#include "service/ValveTable.h"
#include "service/ZeroAdjust.h"

#include <memory>

namespace kvt::service {

// Every service procedure, registered with the main window's logic. Built after the main window's
// logic and destroyed before it.
class ServiceMenus {
public:
    ServiceMenus(monitor::FrmTerminal& terminal, ServiceDialogs& dialogs)
        : link(terminal), query(link, cancelWindow), autoZero(link, autoZeroWindow),
          span(link, spanWindow), zero(link, dialogs), calibrate(link, dialogs),
          valve(link, dialogs), closeLoop(link, dialogs), editGas(link, dialogs),
          autoTune(link, dialogs), eepromExport(link, dialogs), eepromImport(link, dialogs),
          eepromCompare(link, dialogs) {}

    ServiceLink link;
    FrmCancelSend cancelWindow;
    QueryMenu query;
    FrmAutoZeroIP autoZeroWindow;
    AutoZero autoZero;
    FrmSetSpan spanWindow;
    SpanSetting span;
    ZeroAdjust zero;
    CalibrateAD calibrate;
    ValveTable valve;
    CalibrateCL closeLoop;
    EditGasTable editGas;
    AutoTune autoTune;
    EepromExport eepromExport;
    EepromImport eepromImport;
    EepromCompare eepromCompare;
};

} // namespace kvt::service
