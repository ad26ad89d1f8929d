#include "ui/FrmCalibrateCLDialog.h"

#include "ui/WidgetText.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kvt::ui {

namespace {

// The row being trimmed stands out: light yellow with red text.
void paintRow(QLineEdit* box, bool alert) {
    QPalette p; // the application's colours
    if (alert) {
        p.setColor(QPalette::Base, QColor(255, 255, 128));
        p.setColor(QPalette::Text, Qt::red);
    }
    box->setPalette(p);
}

} // namespace

FrmCalibrateCLDialog::FrmCalibrateCLDialog(service::CalibrateCL& logic, QWidget* parent)
    : LogicDialog(
          parent, [&logic] { return logic.closed(); }, [&logic] { logic.Form_QueryUnload(); }),
      logic_(logic), model_(logic.model) {
    setObjectName("frmCalibrateCL");
    auto* layout = new QHBoxLayout(this);
    auto* rows = new QGridLayout;
    rows->addWidget(new QLabel("% F.S.", this), 0, 1);
    rows->addWidget(new QLabel("Value", this), 0, 2);
    rows->addWidget(new QLabel("Index", this), 0, 3);
    for (std::size_t r = 0; r < kRows; ++r) {
        const auto n = QString::number(r);
        int row = static_cast<int>(r) + 1;
        options_[r] = named(new QRadioButton(this), "Option1_" + n);
        flows_[r] = named(new QLineEdit(this), "Text1_" + n);
        counts_[r] = named(new QLineEdit(this), "Text2_" + n);
        indexes_[r] = named(new QLabel(this), "lblIndex_" + n);
        for (auto* box : {flows_[r], counts_[r]})
            box->setFixedWidth(70);
        rows->addWidget(options_[r], row, 0);
        rows->addWidget(flows_[r], row, 1);
        rows->addWidget(counts_[r], row, 2);
        rows->addWidget(indexes_[r], row, 3);
        const int i = static_cast<int>(r);
        connect(options_[r], &QRadioButton::clicked, this, [this, i] {
            logic_.Option1_Click(i);
            refresh(); // a refused click leaves the row as it was
        });
        connect(flows_[r], &QLineEdit::textEdited, this,
                [this, i](const QString& t) { logic_.Text1_Change(i, latin1Bytes(t)); });
        connect(counts_[r], &QLineEdit::textEdited, this,
                [this, i](const QString& t) { logic_.Text2_Change(i, latin1Bytes(t)); });
        filterKeys(flows_[r], [this, i](int code) { return logic_.Text1_KeyPress(i, code); });
        filterKeys(counts_[r], [this, i](int code) { return logic_.Text2_KeyPress(i, code); });
    }
    layout->addLayout(rows);

    auto* barColumn = new QVBoxLayout;
    scroll_ = named(new QScrollBar(Qt::Vertical, this), "VScroll1");
    scroll_->setInvertedAppearance(true); // 4095 at the top
    scroll_->setInvertedControls(true);
    barColumn->addWidget(new QLabel("4095", this), 0, Qt::AlignHCenter);
    barColumn->addWidget(scroll_, 1, Qt::AlignHCenter);
    barColumn->addWidget(new QLabel("120", this), 0, Qt::AlignHCenter);
    layout->addLayout(barColumn);

    auto* right = new QVBoxLayout;
    auto* valveFrame = new QGroupBox("VALVE", this);
    auto* vl = new QVBoxLayout(valveFrame);
    valve_ = named(new QListWidget(valveFrame), "List1");
    valve_->setFixedSize(90, 64);
    vl->addWidget(valve_);
    right->addWidget(valveFrame);
    right->addStretch();
    exit_ = button(this, "cmdExit", [this] { logic_.cmdExit_Click(); });
    right->addWidget(exit_);
    layout->addLayout(right);

    connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!applying_)
            logic_.VScroll1_Change(v);
    });
    connect(valve_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!applying_ && r >= 0)
            logic_.List1_Click(r);
    });
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmCalibrateCLDialog::refresh() {
    applying_ = true;
    setWindowTitle(latin1(model_.frmCalibrateCL.caption));
    for (std::size_t r = 0; r < kRows; ++r) {
        setRadioChecked(options_[r], model_.Option1[r].checked);
        options_[r]->setEnabled(model_.Option1[r].enabled);
        const std::pair<QLineEdit*, const monitor::Control*> boxes[] = {
            {flows_[r], &model_.Text1[r]}, {counts_[r], &model_.Text2[r]}};
        for (auto [box, control] : boxes) {
            if (box->text() != latin1(control->caption))
                box->setText(latin1(control->caption));
            box->setEnabled(control->enabled);
            paintRow(box, control->alert);
        }
        indexes_[r]->setText(latin1(model_.lblIndex[r].caption));
    }
    const auto& bar = model_.VScroll1;
    scroll_->setRange(bar.min, bar.max);
    scroll_->setPageStep(bar.largeChange);
    scroll_->setValue(bar.value);
    scroll_->setEnabled(bar.enabled);
    QStringList items;
    for (const auto& i : model_.List1.items)
        items << latin1(i);
    if (valve_->count() != items.size()) {
        valve_->clear();
        valve_->addItems(items);
    }
    valve_->setCurrentRow(model_.List1.listIndex);
    follow(exit_, model_.cmdExit);
    applying_ = false;
    finishIfClosed();
}

} // namespace kvt::ui
