#include "ui/FrmAutoTuneDialog.h"

#include "ui/WidgetText.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kvt::ui {

FrmAutoTuneDialog::FrmAutoTuneDialog(service::AutoTune& logic, QWidget* parent)
    : LogicDialog(
          parent, [&logic] { return logic.closed(); }, [&logic] { logic.Form_QueryUnload(); }),
      logic_(logic), model_(logic.model) {
    setObjectName("frmAutoTune");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;

    auto* spFrame = new QGroupBox("SetPoint [%FS]", this);
    auto* spl = new QVBoxLayout(spFrame);
    list_ = named(new QListWidget(spFrame), "List1");
    list_->setFixedWidth(90);
    spl->addWidget(list_);
    top->addWidget(spFrame);

    auto* right = new QVBoxLayout;
    auto* pidFrame = new QGroupBox("PID Settings", this);
    auto* grid = new QGridLayout(pidFrame);
    static const char* const kCaptions[] = {"P    110", "I      111", "D    112"};
    for (std::size_t i = 0; i < pid_.size(); ++i) {
        const int box = static_cast<int>(i);
        pid_[i] = named(new QLineEdit(pidFrame), "Text1_" + QString::number(box));
        pid_[i]->setFixedWidth(110);
        labelledRow(grid, box, kCaptions[i], pid_[i]);
        connect(pid_[i], &QLineEdit::textEdited, this,
                [this, box](const QString& t) { logic_.Text1_Change(box, latin1Bytes(t)); });
        filterKeys(pid_[i], [this, box](int code) { return logic_.Text1_KeyPress(box, code); });
    }
    right->addWidget(pidFrame);
    auto* modeFrame = new QGroupBox("Mode", this);
    auto* ml = new QVBoxLayout(modeFrame);
    for (std::size_t i = 0; i < modes_.size(); ++i) {
        const int index = static_cast<int>(i);
        modes_[i] = named(new QRadioButton(modeFrame), "Option1_" + QString::number(index));
        ml->addWidget(modes_[i]);
        connect(modes_[i], &QRadioButton::clicked, this, [this, index] {
            logic_.Option1_Click(index);
            refresh(); // a refused click leaves the mode as it was
        });
    }
    right->addWidget(modeFrame);
    top->addLayout(right);

    msg_ = named(new QLabel(this), "lblMsg");
    msg_->setWordWrap(true);
    msg_->setFixedWidth(260);
    msg_->setMinimumHeight(150);
    msg_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    msg_->setFrameShape(QFrame::Panel);
    msg_->setFrameShadow(QFrame::Sunken);
    top->addWidget(msg_);
    layout->addLayout(top);

    start_ = button(this, "cmdStart", [this] { logic_.cmdStart_Click(); });
    stop_ = button(this, "cmdStop", [this] { logic_.cmdStop_Click(); });
    exit_ = button(this, "cmdExit", [this] { logic_.cmdExit_Click(); });
    layout->addLayout(buttonRow({start_, stop_}, {exit_}));

    connect(list_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!applying_)
            logic_.List1_Click(r);
    });
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmAutoTuneDialog::refresh() {
    applying_ = true;
    setWindowTitle(latin1(model_.frmAutoTune.caption));
    QStringList items;
    for (const auto& i : model_.List1.items)
        items << latin1(i);
    if (list_->count() != items.size()) {
        list_->clear();
        list_->addItems(items);
    }
    list_->setCurrentRow(model_.List1.listIndex);
    list_->setEnabled(model_.List1.enabled);
    for (std::size_t i = 0; i < pid_.size(); ++i) {
        if (pid_[i]->text() != latin1(model_.Text1[i].caption))
            pid_[i]->setText(latin1(model_.Text1[i].caption));
        pid_[i]->setReadOnly(model_.locked[i]);
    }
    for (std::size_t i = 0; i < modes_.size(); ++i) {
        modes_[i]->setText(latin1(model_.Option1[i].caption));
        setRadioChecked(modes_[i], model_.Option1[i].checked);
        modes_[i]->setEnabled(model_.Option1[i].enabled);
    }
    follow(start_, model_.cmdStart);
    follow(stop_, model_.cmdStop);
    follow(exit_, model_.cmdExit);
    msg_->setText(shownText(model_.lblMsg.caption));
    applying_ = false;
    finishIfClosed();
}

} // namespace kvt::ui
