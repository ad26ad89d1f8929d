#pragma once

#include "service/EepromCompare.h"
#include "service/EepromTransfer.h"
#include "ui/DialogParts.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kvt::ui {

// "Export  EEPROM to File ": the reading with its progress, then the table and Save. The reading
// starts when the logic's Form_Load is called once the dialog shows.
class FrmExportEDialog : public LogicDialog {
public:
    FrmExportEDialog(service::EepromExport& logic, QWidget* parent = nullptr);

    void refresh();

private:
    service::EepromExport& logic_;
    service::FrmExportE& model_;
    QGroupBox* frame_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// "Import EEPROM": Open File shows the table, Up Load writes it with its progress.
class FrmImportEDialog : public LogicDialog {
public:
    FrmImportEDialog(service::EepromImport& logic, QWidget* parent = nullptr);

    void refresh();

private:
    service::EepromImport& logic_;
    service::FrmImportE& model_;
    QGroupBox* frame_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* upload_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// "Compare EEPROM": the differing variables side by side.
class FrmCompareEDialog : public LogicDialog {
public:
    FrmCompareEDialog(service::EepromCompare& logic, QWidget* parent = nullptr);

    void refresh();

private:
    service::EepromCompare& logic_;
    service::FrmCompareE& model_;
    bool applying_ = false;
    QLabel* left_ = nullptr;
    QLabel* right_ = nullptr;
    QListWidget* list_ = nullptr;
    QCheckBox* all_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace kvt::ui
