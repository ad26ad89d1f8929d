#include "ui/FrmEepromDialogs.h"

#include "ui/WidgetText.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

namespace {

// Fixed pitch, so the padded fields line up; wide enough for a whole line.
void tableFont(QWidget* w, int columns, int lines) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    w->setFont(font);
    QFontMetrics m(font);
    w->setMinimumSize(m.horizontalAdvance(QString(columns, 'X')) + 40, m.lineSpacing() * lines);
}

// "Table Values" with the read-only table.
QGroupBox* tableFrame(QWidget* parent, QPlainTextEdit*& text) {
    auto* frame = named(new QGroupBox(parent), "Frame1");
    auto* l = new QVBoxLayout(frame);
    text = named(new QPlainTextEdit(frame), "Text1");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    tableFont(text, 48, 20);
    l->addWidget(text);
    return frame;
}

// The table as the logic lays it out: CR is a line break, LF is dropped.
void showTable(QPlainTextEdit* text, const std::string& table) {
    QString shown = latin1(table);
    shown.remove('\n'); // only CR breaks a line
    shown.replace('\r', '\n');
    if (shown.endsWith('\n'))
        shown.chop(1);
    if (text->toPlainText() != shown)
        text->setPlainText(shown);
}

QProgressBar* progressBar(QWidget* parent, int max) {
    auto* bar = named(new QProgressBar(parent), "ProgBar1");
    bar->setRange(0, max);
    auto policy = bar->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    bar->setSizePolicy(policy);
    return bar;
}

} // namespace

FrmExportEDialog::FrmExportEDialog(service::EepromExport& logic, QWidget* parent)
    : LogicDialog(
          parent, [&logic] { return logic.closed(); }, [&logic] { logic.Form_QueryUnload(); }),
      logic_(logic), model_(logic.model) {
    setObjectName("frmExportE");
    auto* layout = new QVBoxLayout(this);
    frame_ = tableFrame(this, text_);
    layout->addWidget(frame_);
    progress_ = progressBar(this, service::kEepromEntries);
    layout->addWidget(progress_);
    save_ = button(this, "cmdSave", [this] { logic_.cmdSave_Click(); });
    cancel_ = button(this, "cmdCancel", [this] { logic_.cmdCancel_Click(); });
    layout->addLayout(buttonRow({}, {save_, cancel_}));
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmExportEDialog::refresh() {
    setWindowTitle(latin1(model_.frmExportE.caption));
    frame_->setTitle(latin1(model_.Frame1.caption));
    showTable(text_, model_.Text1.caption);
    progress_->setValue(model_.progress);
    progress_->setVisible(model_.ProgBar1.visible);
    follow(save_, model_.cmdSave);
    follow(cancel_, model_.cmdCancel);
    finishIfClosed();
}

FrmImportEDialog::FrmImportEDialog(service::EepromImport& logic, QWidget* parent)
    : LogicDialog(
          parent, [&logic] { return logic.closed(); }, [&logic] { logic.Form_QueryUnload(); }),
      logic_(logic), model_(logic.model) {
    setObjectName("frmImportE");
    auto* layout = new QVBoxLayout(this);
    frame_ = tableFrame(this, text_);
    // The frame keeps its size while the table is hidden, so the window does not jump on Open.
    auto policy = text_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    text_->setSizePolicy(policy);
    layout->addWidget(frame_);
    progress_ = progressBar(this, static_cast<int>(service::EepromImport::uploadSequence().size()));
    layout->addWidget(progress_);
    open_ = button(this, "cmdOpen", [this] { logic_.cmdOpen_Click(); });
    upload_ = button(this, "cmdUpload", [this] { logic_.cmdUpload_Click(); });
    cancel_ = button(this, "cmdCancel", [this] { logic_.cmdCancel_Click(); });
    layout->addLayout(buttonRow({open_, upload_}, {cancel_}));
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmImportEDialog::refresh() {
    setWindowTitle(latin1(model_.frmImportE.caption));
    frame_->setTitle(latin1(model_.Frame1.caption));
    showTable(text_, model_.Text1.caption);
    text_->setVisible(model_.Text1.visible);
    progress_->setValue(model_.progress);
    progress_->setVisible(model_.ProgBar1.visible);
    follow(open_, model_.cmdOpen);
    follow(upload_, model_.cmdUpload);
    follow(cancel_, model_.cmdCancel);
    finishIfClosed();
}

FrmCompareEDialog::FrmCompareEDialog(service::EepromCompare& logic, QWidget* parent)
    : LogicDialog(
          parent, [&logic] { return logic.closed(); }, [&logic] { logic.Form_QueryUnload(); }),
      logic_(logic), model_(logic.model) {
    setObjectName("frmCompareE");
    auto* layout = new QVBoxLayout(this);
    auto* names = new QGridLayout;
    left_ = named(new QLabel(this), "lblLeft");
    right_ = named(new QLabel(this), "lblRight");
    labelledRow(names, 0, "Left:", left_);
    labelledRow(names, 1, "Right:", right_);
    names->setColumnStretch(1, 1);
    layout->addLayout(names);
    list_ = named(new QListWidget(this), "List1");
    tableFont(list_, 3 + 2 * 34 + 2, 20);
    layout->addWidget(list_);
    all_ = named(new QCheckBox(this), "chkAll");
    save_ = button(this, "cmdSave", [this] { logic_.cmdSave_Click(); });
    close_ = button(this, "cmdClose", [this] { logic_.cmdClose_Click(); });
    layout->addLayout(buttonRow({all_}, {save_, close_}));
    connect(all_, &QCheckBox::toggled, this, [this](bool on) {
        if (!applying_)
            logic_.chkAll_Click(on);
    });
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmCompareEDialog::refresh() {
    applying_ = true;
    setWindowTitle(latin1(model_.frmCompareE.caption));
    left_->setText(latin1(model_.lblLeft.caption));
    right_->setText(latin1(model_.lblRight.caption));
    QStringList items;
    for (const auto& i : model_.List1.items)
        items << latin1(i);
    QStringList shown;
    for (int i = 0; i < list_->count(); ++i)
        shown << list_->item(i)->text();
    if (items != shown) {
        list_->clear();
        list_->addItems(items);
    }
    all_->setText(latin1(model_.chkAll.caption));
    all_->setChecked(model_.chkAll.checked);
    follow(save_, model_.cmdSave);
    follow(close_, model_.cmdClose);
    applying_ = false;
    finishIfClosed();
}

} // namespace kvt::ui
