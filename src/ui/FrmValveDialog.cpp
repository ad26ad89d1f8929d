#include "ui/FrmValveDialog.h"
#include "ui/SteadyWidgets.h"

#include "ui/WidgetText.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kvt::ui {

FrmValveDialog::FrmValveDialog(service::ValveTable& logic, QWidget* parent)
    : LogicDialog(
          parent, [&logic] { return logic.closed(); }, [&logic] { logic.Form_QueryUnload(); }),
      logic_(logic), model_(logic.model) {
    setObjectName("frmValve");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;

    frame1_ = named(new QGroupBox(this), "Frame1");
    auto* g1 = new QGridLayout(frame1_);
    g1->addWidget(new QLabel("%F.S.", frame1_), 0, 0);
    g1->addWidget(new QLabel("Index", frame1_), 0, 1);
    g1->addWidget(new QLabel("Value", frame1_), 0, 2);
    const int percents[] = {0, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    for (int k = 0; k < 10; ++k) {
        g1->addWidget(new QLabel(QString::number(percents[k]), frame1_), k + 1, 0);
        g1->addWidget(new QLabel(QString::number(40 + 2 * k), frame1_), k + 1, 1);
    }
    list1_ = named(new QListWidget(frame1_), "List1");
    list1_->setFixedWidth(90);
    g1->addWidget(list1_, 1, 2, 10, 1);
    text1_ = named(new QLineEdit(frame1_), "Text1");
    text1_->setMaximumWidth(90);
    filterKeys(text1_, [this](int code) { return logic_.Text1_KeyPress(code); });
    edit_ = button(frame1_, "cmdEdit", [this] { logic_.cmdEdit_Click(); });
    g1->addWidget(text1_, 11, 2);
    g1->addWidget(edit_, 12, 2);
    row->addWidget(frame1_);

    frame2_ = named(new QGroupBox(this), "Frame2");
    auto* g2 = new QGridLayout(frame2_);
    scroll_ = named(new QScrollBar(Qt::Vertical, frame2_), "VScroll1");
    scroll_->setInvertedAppearance(true); // 4095 at the top
    scroll_->setInvertedControls(true);
    scroll_->setMinimumHeight(200);
    text2_ = named(new QLineEdit(frame2_), "Text2");
    text2_->setMaximumWidth(90);
    filterKeys(text2_, [this](int code) { return logic_.Text2_KeyPress(code); });
    ready_ = button(frame2_, "cmdReady", [this] { logic_.cmdReady_Click(); });
    cancel_ = button(frame2_, "cmdCancel", [this] { logic_.cmdCancel_Click(); });
    g2->addWidget(scroll_, 0, 0, 4, 1);
    g2->addWidget(text2_, 0, 1);
    g2->addWidget(ready_, 2, 1);
    g2->addWidget(cancel_, 3, 1);
    row->addWidget(frame2_);

    msg_ = named(new QLabel(this), "lblMsg");
    msg_->setWordWrap(true);
    msg_->setFixedWidth(220);
    row->addWidget(msg_);
    layout->addLayout(row);

    progress_ = named(new QProgressBar(this), "ProgBar1");
    progress_->setRange(0, 10);
    layout->addWidget(progress_);
    start_ = button(this, "cmdStart", [this] { logic_.cmdStart_Click(); });
    save_ = button(this, "cmdSave", [this] { logic_.cmdSave_Click(); });
    exit_ = button(this, "cmdExit", [this] { logic_.cmdExit_Click(); });
    layout->addLayout(buttonRow({start_, save_}, {exit_}));

    connect(list1_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!applying_)
            logic_.List1_Click(r);
    });
    connect(text1_, &QLineEdit::textEdited, this,
            [this](const QString& t) { logic_.Text1_Change(latin1Bytes(t)); });
    connect(text2_, &QLineEdit::textEdited, this,
            [this](const QString& t) { logic_.Text2_Change(latin1Bytes(t)); });
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!applying_)
            logic_.VScroll1_Change(v);
    });
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmValveDialog::refresh() {
    applying_ = true;
    setWindowTitle(latin1(model_.frmValve.caption));
    frame1_->setVisible(model_.Frame1.visible);
    frame2_->setTitle(latin1(model_.Frame2.caption));
    frame2_->setVisible(model_.Frame2.visible);
    QStringList items;
    for (const auto& i : model_.List1.items)
        items << latin1(i);
    QStringList shown;
    for (int i = 0; i < list1_->count(); ++i)
        shown << list1_->item(i)->text();
    if (items != shown) {
        list1_->clear();
        list1_->addItems(items);
    }
    list1_->setCurrentRow(model_.List1.listIndex);
    if (text1_->text() != latin1(model_.Text1.caption))
        text1_->setText(latin1(model_.Text1.caption));
    if (text2_->text() != latin1(model_.Text2.caption))
        text2_->setText(latin1(model_.Text2.caption));
    const auto& bar = model_.VScroll1;
    scroll_->setRange(bar.min, bar.max);
    scroll_->setPageStep(bar.largeChange);
    scroll_->setValue(bar.value);
    follow(edit_, model_.cmdEdit);
    follow(ready_, model_.cmdReady);
    follow(cancel_, model_.cmdCancel);
    msg_->setText(latin1(model_.lblMsg.caption));
    msg_->setVisible(model_.lblMsg.visible);
    follow(start_, model_.cmdStart);
    follow(save_, model_.cmdSave);
    follow(exit_, model_.cmdExit);
    setProgressValue(progress_, model_.progress);
    progress_->setVisible(model_.ProgBar1.visible);
    applying_ = false;
    finishIfClosed();
}

} // namespace kvt::ui
