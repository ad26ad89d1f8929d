#include "ui/QtServiceDialogs.h"

#include "ui/FrmZeroManDialog.h"

namespace kvt::ui {

void QtServiceDialogs::showZeroMan(service::ZeroAdjust& logic) {
    FrmZeroManDialog dlg(logic, parent_);
    dlg.exec();
}

} // namespace kvt::ui
