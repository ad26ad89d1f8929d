#include "ui/FrmProgramDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

namespace {

QString text(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

std::string bytes(const QString& s) {
    return s.toLatin1().toStdString();
}

} // namespace

FrmProgramDialog::FrmProgramDialog(monitor::FrmProg& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
    auto& m = logic_.model;
    setObjectName("frmProg");
    setWindowTitle(text(m.frmProg.caption));
    setModal(true);

    auto* top = new QVBoxLayout(this);
    auto* frame = new QGroupBox("Data  Setting", this);
    frame->setObjectName("Frame1");
    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel("Set Point", frame), 0, 1);
    grid->addWidget(new QLabel("Approch Time ", frame), 0, 2);
    grid->addWidget(new QLabel("%F.S.", frame), 1, 1);
    grid->addWidget(new QLabel("Sec.", frame), 1, 2);
    auto box = [this](QWidget* parentWidget, const std::string& name, bool point) {
        auto* e = new QLineEdit(parentWidget);
        e->setObjectName(text(name));
        e->setMaximumWidth(90);
        e->installEventFilter(this);
        boxes_[name] = e;
        pointAllowed_[e] = point;
        return e;
    };
    for (int i = 0; i < monitor::SetPointProgram::kRows; ++i) {
        grid->addWidget(new QLabel(QString("Step %1").arg(i + 1), frame), i + 2, 0);
        grid->addWidget(box(frame, "txtSP(" + std::to_string(i) + ")", true), i + 2, 1);
        grid->addWidget(box(frame, "txtTime(" + std::to_string(i) + ")", false), i + 2, 2);
    }
    top->addWidget(frame);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("End Step", this));
    row->addWidget(box(this, "txtEndStep", false));
    chkLoop_ = new QCheckBox(text(m.chkLoop.caption), this);
    chkLoop_->setObjectName("chkLoop");
    chkLoop_->setToolTip(text(m.chkLoop.toolTip));
    connect(chkLoop_, &QCheckBox::clicked, this,
            [this](bool checked) { run([&] { logic_.chkLoop_Click(checked); }); });
    row->addWidget(chkLoop_);
    top->addLayout(row);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const char* caption, std::function<void()> click) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, click] { run(click); });
        buttons->addWidget(b);
    };
    button("cmdLoad", "Load", [this] { logic_.cmdLoad_Click(); });
    button("cmdSave", "Save", [this] { logic_.cmdSave_Click(); });
    button("cmdRun", "Run", [this] { logic_.cmdRun_Click(); });
    button("cmdCancel", "Cancel", [this] { logic_.cmdCancel_Click(); });
    top->addLayout(buttons);

    m.subscribe(liveness_.guard([this] { refresh(); }));
    refresh();
}

FrmProgramDialog::~FrmProgramDialog() = default;

void FrmProgramDialog::refresh() {
    auto& m = logic_.model;
    setWindowTitle(text(m.frmProg.caption));
    m.forEachControl([this](const std::string& name, const monitor::Control& c) {
        auto it = boxes_.find(name);
        if (it != boxes_.end() && it->second->text() != text(c.caption))
            it->second->setText(text(c.caption));
    });
    chkLoop_->setChecked(m.chkLoop.checked);
    if (m.closed && isVisible())
        done(QDialog::Accepted);
}

void FrmProgramDialog::collect() {
    auto& m = logic_.model;
    m.forEachControl([this](const std::string& name, monitor::Control& c) {
        auto it = boxes_.find(name);
        if (it != boxes_.end())
            c.caption = bytes(it->second->text());
    });
}

void FrmProgramDialog::run(const std::function<void()>& handler) {
    collect();
    // A handler may wait and let other events run, among them ones that close this dialog.
    QPointer<FrmProgramDialog> self(this);
    handler();
    if (!self)
        return;
    refresh();
}

void FrmProgramDialog::reject() {
    run([this] { logic_.cmdCancel_Click(); });
    if (isVisible())
        QDialog::reject();
}

bool FrmProgramDialog::eventFilter(QObject* watched, QEvent* event) {
    auto rule = pointAllowed_.find(watched);
    if (rule == pointAllowed_.end() || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    auto* edit = static_cast<QLineEdit*>(watched);
    if (key->matches(QKeySequence::Paste)) {
        edit->insert(text(
            monitor::FrmProg::keepTypable(bytes(QApplication::clipboard()->text()), rule->second)));
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        return true; // consumed
    if (key->key() == Qt::Key_Backspace)
        return false;
    const QString typed = key->text();
    if (typed.isEmpty() || !typed.at(0).isPrint() ||
        (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false; // navigation and editing keys are the box's own
    const int code = typed.at(0).unicode();
    const bool accepted =
        rule->second ? logic_.txtSP_KeyPress(code) : logic_.txtTime_KeyPress(code);
    return !accepted;
}

} // namespace kvt::ui
