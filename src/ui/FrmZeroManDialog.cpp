#include "ui/FrmZeroManDialog.h"

#include "ui/WidgetText.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

namespace kvt::ui {

FrmZeroManDialog::FrmZeroManDialog(service::ZeroAdjust& logic, QWidget* parent)
    : QDialog(parent), logic_(logic), model_(logic.model) {
    setObjectName("frmZeroMan");
    setModal(true);
    auto* grid = new QGridLayout(this);
    scroll_ = new QScrollBar(Qt::Vertical, this);
    scroll_->setObjectName("VScroll1");
    scroll_->setInvertedAppearance(true); // 4095 at the top
    scroll_->setInvertedControls(true);
    scroll_->setMinimumHeight(160);
    auto* sensorCaption = new QLabel(latin1(model_.lblSensor.caption), this);
    auto* zeroCaption = new QLabel(latin1(model_.lblZero.caption), this);
    label1_ = new QLabel(this);
    label1_->setObjectName("Label1");
    label1_->setFrameShape(QFrame::Panel);
    label1_->setFrameShadow(QFrame::Sunken);
    label1_->setMinimumWidth(80);
    text1_ = new QLineEdit(this);
    text1_->setObjectName("Text1");
    text1_->setMaximumWidth(100);
    text1_->installEventFilter(this);
    save_ = new QPushButton(this);
    save_->setObjectName("cmdSave");
    save_->setAutoDefault(false);
    exit_ = new QPushButton(this);
    exit_->setObjectName("cmdExit");
    exit_->setAutoDefault(false);
    grid->addWidget(scroll_, 0, 0, 4, 1);
    grid->addWidget(sensorCaption, 0, 1);
    grid->addWidget(label1_, 0, 2);
    grid->addWidget(zeroCaption, 1, 1);
    grid->addWidget(text1_, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save_);
    buttons->addWidget(exit_);
    grid->addLayout(buttons, 3, 1, 1, 2);

    connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!applying_)
            logic_.VScroll1_Change(v);
    });
    connect(text1_, &QLineEdit::textEdited, this,
            [this](const QString& t) { logic_.Text1_Change(t.toLatin1().toStdString()); });
    connect(save_, &QPushButton::clicked, this, [this] { logic_.cmdSave_Click(); });
    connect(exit_, &QPushButton::clicked, this, [this] { logic_.cmdExit_Click(); });
    model_.subscribe([this, alive = alive_] {
        if (*alive)
            refresh();
    });
    refresh();
}

FrmZeroManDialog::~FrmZeroManDialog() {
    *alive_ = false;
}

void FrmZeroManDialog::refresh() {
    applying_ = true;
    setWindowTitle(latin1(model_.frmZeroMan.caption));
    const auto& bar = model_.VScroll1;
    scroll_->setRange(bar.min, bar.max);
    scroll_->setPageStep(bar.largeChange);
    scroll_->setValue(bar.value);
    scroll_->setEnabled(bar.enabled);
    if (text1_->text() != latin1(model_.Text1.caption))
        text1_->setText(latin1(model_.Text1.caption));
    label1_->setText(latin1(model_.Label1.caption));
    save_->setText(latin1(model_.cmdSave.caption));
    save_->setEnabled(model_.cmdSave.enabled);
    exit_->setText(latin1(model_.cmdExit.caption));
    exit_->setEnabled(model_.cmdExit.enabled);
    applying_ = false;
    if (logic_.closed() && isVisible())
        QTimer::singleShot(0, this, [this] { done(QDialog::Accepted); });
}

void FrmZeroManDialog::closeEvent(QCloseEvent* event) {
    // The logic closes the dialog once its waits have returned.
    if (!logic_.closed()) {
        event->ignore();
        logic_.Form_QueryUnload();
    }
}

void FrmZeroManDialog::reject() {
    if (logic_.closed())
        QDialog::reject();
    else
        logic_.Form_QueryUnload();
}

bool FrmZeroManDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text1_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        int code = 0;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            code = 13;
        else if (key->key() == Qt::Key_Backspace)
            code = 8;
        else if (!key->text().isEmpty())
            code = key->text().at(0).unicode();
        else
            return false; // arrows, Home, Delete and the like edit the box as usual
        return !logic_.Text1_KeyPress(code);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kvt::ui
