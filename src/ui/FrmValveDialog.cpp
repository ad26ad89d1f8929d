#include "ui/FrmValveDialog.h"
#include "ui/SteadyWidgets.h"

#include "ui/WidgetText.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace kvt::ui {

namespace {

template <typename W> W* named(W* w, const char* name) {
    w->setObjectName(name);
    return w;
}

QPushButton* button(QWidget* parent, const char* name) {
    auto* b = named(new QPushButton(parent), name);
    b->setAutoDefault(false);
    return b;
}

// The key code the logic's filters expect, or 0 for keys that only edit the box.
int keyCode(const QKeyEvent* key) {
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        return 13;
    if (key->key() == Qt::Key_Backspace)
        return 8;
    if (!key->text().isEmpty())
        return key->text().at(0).unicode();
    return 0;
}

} // namespace

FrmValveDialog::FrmValveDialog(service::ValveTable& logic, QWidget* parent)
    : QDialog(parent), logic_(logic), model_(logic.model) {
    setObjectName("frmValve");
    setModal(true);
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
    text1_->installEventFilter(this);
    edit_ = button(frame1_, "cmdEdit");
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
    text2_->installEventFilter(this);
    ready_ = button(frame2_, "cmdReady");
    cancel_ = button(frame2_, "cmdCancel");
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
    auto* buttons = new QHBoxLayout;
    start_ = button(this, "cmdStart");
    save_ = button(this, "cmdSave");
    exit_ = button(this, "cmdExit");
    buttons->addWidget(start_);
    buttons->addWidget(save_);
    buttons->addStretch();
    buttons->addWidget(exit_);
    layout->addLayout(buttons);

    connect(list1_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!applying_)
            logic_.List1_Click(r);
    });
    connect(text1_, &QLineEdit::textEdited, this,
            [this](const QString& t) { logic_.Text1_Change(t.toLatin1().toStdString()); });
    connect(text2_, &QLineEdit::textEdited, this,
            [this](const QString& t) { logic_.Text2_Change(t.toLatin1().toStdString()); });
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!applying_)
            logic_.VScroll1_Change(v);
    });
    connect(edit_, &QPushButton::clicked, this, [this] { logic_.cmdEdit_Click(); });
    connect(ready_, &QPushButton::clicked, this, [this] { logic_.cmdReady_Click(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { logic_.cmdCancel_Click(); });
    connect(start_, &QPushButton::clicked, this, [this] { logic_.cmdStart_Click(); });
    connect(save_, &QPushButton::clicked, this, [this] { logic_.cmdSave_Click(); });
    connect(exit_, &QPushButton::clicked, this, [this] { logic_.cmdExit_Click(); });
    model_.subscribe([this, alive = alive_] {
        if (*alive)
            refresh();
    });
    refresh();
}

FrmValveDialog::~FrmValveDialog() {
    *alive_ = false;
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
    edit_->setText(latin1(model_.cmdEdit.caption));
    ready_->setText(latin1(model_.cmdReady.caption));
    cancel_->setText(latin1(model_.cmdCancel.caption));
    msg_->setText(latin1(model_.lblMsg.caption));
    msg_->setVisible(model_.lblMsg.visible);
    start_->setText(latin1(model_.cmdStart.caption));
    start_->setEnabled(model_.cmdStart.enabled);
    save_->setText(latin1(model_.cmdSave.caption));
    save_->setEnabled(model_.cmdSave.enabled);
    exit_->setText(latin1(model_.cmdExit.caption));
    exit_->setEnabled(model_.cmdExit.enabled);
    setProgressValue(progress_, model_.progress);
    progress_->setVisible(model_.ProgBar1.visible);
    applying_ = false;
    if (logic_.closed() && isVisible())
        QTimer::singleShot(0, this, [this] { done(QDialog::Accepted); });
}

void FrmValveDialog::closeEvent(QCloseEvent* event) {
    if (!logic_.closed()) {
        event->ignore();
        logic_.Form_QueryUnload();
    }
}

void FrmValveDialog::reject() {
    if (logic_.closed())
        QDialog::reject();
    else
        logic_.Form_QueryUnload();
}

bool FrmValveDialog::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == text1_ || watched == text2_) && event->type() == QEvent::KeyPress) {
        int code = keyCode(static_cast<QKeyEvent*>(event));
        if (code == 0)
            return false;
        bool pass = watched == text1_ ? logic_.Text1_KeyPress(code) : logic_.Text2_KeyPress(code);
        return !pass;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kvt::ui
