#include "ui/FrmTerminalWindow.h"

#include "monitor/TerminalMenus.h"
#include "ui/FrmProgressBarWindow.h"
#include "ui/Icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace kvt::ui {

namespace {

// Texts are bytes (Latin-1); a carriage return breaks the line on screen.
QString text(const std::string& s) {
    QString t = QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

// Entries that carry a check mark. Anything else the model checks becomes checkable when it does.
const std::set<std::string> kCheckable = {"mnuOpen", "mnuMonitor", "mnuDeviceInfo", "mnuVM4",
                                          "mnuVM8",  "mnuAutoS",   "mnuAutoM",      "mnuCommProg"};

// A label that shows text from the devices or the operator: never rich text, and a long text is
// cut at the edge instead of widening the window.
QLabel* modelLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

QGroupBox* frame(const char* name, QWidget* parent) {
    auto* box = new QGroupBox(parent);
    box->setObjectName(name);
    return box;
}

} // namespace

FrmTerminalWindow::FrmTerminalWindow(monitor::FrmTerminal& logic, QWidget* parent)
    : QMainWindow(parent), logic_(logic), model_(logic.model) {
    setObjectName("frmTerminal");
    widgets_["frmTerminal"] = this;
    setWindowIcon(QIcon(flowTubeLogo(64)));

    buildMenus();
    buildToolbar();
    buildCentralArea();

    progress_ = new FrmProgressBarWindow(model_, this);

    // Changes are shown together a moment later: an exchange changes the model several times,
    // and repainting for each change costs more than the exchange itself.
    model_.subscribe([this, alive = alive_] {
        if (!*alive || refreshQueued_)
            return;
        refreshQueued_ = true;
        QTimer::singleShot(refreshDelayMs_, this, [this] {
            refreshQueued_ = false;
            refresh();
        });
    });
    refresh();
    resize(820, 600);
}

FrmTerminalWindow::~FrmTerminalWindow() {
    *alive_ = false;
}

void FrmTerminalWindow::buildMenus() {
    std::set<std::string> parents;
    for (const auto& node : monitor::terminalMenuTree())
        parents.insert(node.parent);
    std::map<std::string, QMenu*> menus;
    for (const auto& node : monitor::terminalMenuTree()) {
        QMenu* owner = node.parent.empty() ? nullptr : menus.at(node.parent);
        if (owner && node.separatorBefore)
            owner->addSeparator();
        const QString caption = text(node.caption);
        if (parents.count(node.name)) {
            QMenu* menu = owner ? owner->addMenu(caption) : menuBar()->addMenu(caption);
            menu->setObjectName(QString::fromStdString(node.name));
            menus[node.name] = menu;
            menuActions_[node.name] = menu->menuAction();
            continue;
        }
        QAction* action = owner->addAction(caption);
        action->setObjectName(QString::fromStdString(node.name));
        if (!node.shortcut.empty())
            action->setShortcut(QKeySequence(QString::fromStdString(node.shortcut)));
        action->setCheckable(kCheckable.count(node.name) > 0);
        menuActions_[node.name] = action;
        connect(action, &QAction::triggered, this,
                [this, name = node.name] { forward([&] { logic_.menuClick(name); }); });
    }
}

void FrmTerminalWindow::buildToolbar() {
    auto* toolbar = addToolBar("Toolbar");
    toolbar->setObjectName("tbrToolBar");
    toolbar->setMovable(false);
    toolbar->setIconSize(QSize(24, 24));
    // Groups: logs, monitoring, synchronisation and settings, recorder.
    const std::set<std::string> groupEnds = {"ALogC", "StartAM", "TransmitTextFile"};
    for (const auto& button : monitor::terminalToolbar()) {
        auto* action = new QAction(toolbarIcon(button.key), text(button.toolTip), toolbar);
        action->setObjectName(QString::fromStdString(button.key));
        action->setToolTip(text(button.toolTip));
        toolbar->addAction(action);
        toolActions_[button.key] = action;
        connect(action, &QAction::triggered, this,
                [this, key = button.key] { forward([&] { logic_.toolbarClick(key); }); });
        if (groupEnds.count(button.key))
            toolbar->addSeparator();
    }
}

void FrmTerminalWindow::buildCentralArea() {
    auto* central = new QWidget(this);
    central->setObjectName("centralArea");
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* content = new QWidget(central);
    auto* body = new QVBoxLayout(content);
    body->setContentsMargins(8, 8, 8, 6);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    body->addLayout(row, 1);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    // Left: the device information frame.
    auto* left = new QVBoxLayout;
    auto* frmInfo = frame("FrmInfo", content);
    auto* infoLayout = new QVBoxLayout(frmInfo);
    infoLayout->setSpacing(2);
    int widest = 0;
    for (const auto& l : monitor::kInfoLabels) {
        QLabel* label = modelLabel(l.name, frmInfo);
        infoLayout->addWidget(label);
        widgets_[l.name] = label;
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(
                                      QString::fromLatin1(l.prefix) + "Zero In Progress  SLPM"));
    }
    frmInfo->setMinimumWidth(widest + 24);
    widgets_["FrmInfo"] = frmInfo;
    left->addWidget(frmInfo);
    left->addStretch();
    row->addLayout(left);

    // Middle: the areas of the single-unit, multi-unit, program and terminal modes.
    auto* middle = new QVBoxLayout;
    auto* fraSD = frame("fraSD", content);
    auto* sdLayout = new QFormLayout(fraSD);
    QLabel* lblEU = modelLabel("lblEU", fraSD);
    lblEU->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    cboValveS_ = new QComboBox(fraSD);
    cboValveS_->setObjectName("cboValveS");
    sdLayout->addRow(lblEU);
    sdLayout->addRow("Valve:", cboValveS_);
    widgets_["fraSD"] = fraSD;
    widgets_["lblEU"] = lblEU;
    middle->addWidget(fraSD);
    for (const char* name : {"fraMulti", "fraMulti8", "fraProg"}) {
        auto* box = frame(name, content);
        widgets_[name] = box;
        middle->addWidget(box);
    }
    txtTerm_ = new QPlainTextEdit(content);
    txtTerm_->setObjectName("txtTerm");
    txtTerm_->setFont(fixed);
    QPalette blue = txtTerm_->palette();
    blue.setColor(QPalette::Text, Qt::blue);
    txtTerm_->setPalette(blue);
    widgets_["txtTerm"] = txtTerm_;
    middle->addWidget(txtTerm_, 1);
    middle->addStretch();
    row->addLayout(middle, 1);

    // Right: the connection indicator and the device list.
    auto* right = new QVBoxLayout;
    auto* frame1 = new QFrame(content);
    frame1->setObjectName("Frame1");
    auto* frame1Layout = new QHBoxLayout(frame1);
    frame1Layout->setContentsMargins(0, 0, 0, 0);
    for (bool connected : {true, false}) {
        auto* button = new QToolButton(frame1);
        button->setObjectName(connected ? "imgConnected" : "imgNotConnected");
        button->setIcon(QIcon(connectionPixmap(connected, 32)));
        button->setIconSize(QSize(32, 32));
        button->setAutoRaise(true);
        frame1Layout->addWidget(button);
        widgets_[connected ? "imgConnected" : "imgNotConnected"] = button;
        connect(button, &QToolButton::clicked, this, [this, connected] {
            forward([&] {
                if (connected)
                    logic_.ports().imgConnected_Click();
                else
                    logic_.ports().imgNotConnected_Click();
            });
        });
    }
    widgets_["Frame1"] = frame1;
    right->addWidget(frame1, 0, Qt::AlignRight);
    auto* fraCD = frame("fraCD", content);
    auto* cdLayout = new QVBoxLayout(fraCD);
    cboCurUnit_ = new QComboBox(fraCD);
    cboCurUnit_->setObjectName("cboCurUnit");
    cboCurUnit_->setMinimumWidth(140);
    cboCurUnit_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cdLayout->addWidget(cboCurUnit_);
    widgets_["fraCD"] = fraCD;
    right->addWidget(fraCD);
    right->addStretch();
    row->addLayout(right);

    // Bottom: the communications monitor.
    auto* fraSendR = frame("fraSendR", content);
    auto* sendLayout = new QFormLayout(fraSendR);
    QLabel* lblTr = modelLabel("lblTr", fraSendR);
    QLabel* lblRs = modelLabel("lblRs", fraSendR);
    // Not selectable: a focused label would take Ctrl+C (close the valve) as copy.
    for (QLabel* l : {lblTr, lblRs})
        l->setFont(fixed);
    sendLayout->addRow("Transmitted:", lblTr);
    sendLayout->addRow("Received:", lblRs);
    widgets_["fraSendR"] = fraSendR;
    widgets_["lblTr"] = lblTr;
    widgets_["lblRs"] = lblRs;
    body->addWidget(fraSendR);

    outer->addWidget(content, 1);
    auto* sbrStatus1 = new QStatusBar(central);
    sbrStatus1->setObjectName("sbrStatus1");
    sbrStatus1->setSizeGripEnabled(false);
    outer->addWidget(sbrStatus1);
    setCentralWidget(central);
    buildStatusBars(sbrStatus1);

    connect(cboCurUnit_, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { forward([&] { logic_.cboCurUnit_Click(index); }); });
    connect(cboValveS_, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { forward([&] { logic_.cboValveS_Click(index); }); });
}

void FrmTerminalWindow::buildStatusBars(QStatusBar* sbrStatus1) {
    auto addPanels = [](QStatusBar* bar, const std::vector<std::pair<const char*, int>>& keys,
                        std::map<std::string, QLabel*>& panels) {
        for (const auto& [key, stretch] : keys) {
            QLabel* panel = modelLabel(key, bar);
            panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            panel->setMinimumWidth(60);
            bar->addPermanentWidget(panel, stretch);
            panels[key] = panel;
        }
    };
    QStatusBar* sbrStatus = statusBar();
    sbrStatus->setObjectName("sbrStatus");
    addPanels(sbrStatus, {{"Status", 3}, {"Settings", 4}, {"ConnectTime", 1}}, sbrStatusPanels_);
    addPanels(
        sbrStatus1,
        {{"Interface", 2}, {"Comport", 2}, {"Device", 1}, {"Address", 1}, {"FSF", 2}, {"Total", 2}},
        sbrStatus1Panels_);
}

template <typename F> void FrmTerminalWindow::forward(F&& handler) {
    // A handler may wait and let other events run, among them ones that close this window.
    QPointer<FrmTerminalWindow> self(this);
    handler();
    // Forced: Qt has toggled the chosen entry's check mark on its own; the model decides it.
    if (self)
        refresh(true);
}

void FrmTerminalWindow::refresh(bool force) {
    model_.forEachControl([this, force](const std::string& name, const monitor::Control& control) {
        // Only what changed since the last refresh is applied; the logic changes a few controls
        // per exchange, and the window has some two hundred.
        auto last = applied_.find(name);
        if (!force && last != applied_.end() && last->second == control)
            return;
        applied_[name] = control;
        if (auto w = widgets_.find(name); w != widgets_.end())
            applyWidget(w->second, control);
        else if (auto a = menuActions_.find(name); a != menuActions_.end())
            applyAction(a->second, control);
    });
    for (auto& [key, action] : toolActions_) {
        auto c = model_.toolbar.find(key);
        if (c == model_.toolbar.end())
            continue;
        action->setEnabled(c->second.enabled);
        action->setVisible(c->second.visible);
        if (!c->second.toolTip.empty() && action->toolTip() != text(c->second.toolTip))
            action->setToolTip(text(c->second.toolTip));
    }
    auto applyPanels = [](const std::map<std::string, monitor::Panel>& model,
                          std::map<std::string, QLabel*>& panels) {
        for (auto& [key, label] : panels) {
            auto p = model.find(key);
            if (p == model.end())
                continue;
            label->setText(text(p->second.text));
            if (label->toolTip() != text(p->second.toolTip))
                label->setToolTip(text(p->second.toolTip));
        }
    };
    applyPanels(model_.sbrStatus, sbrStatusPanels_);
    applyPanels(model_.sbrStatus1, sbrStatus1Panels_);
    applyList(cboCurUnit_, model_.cboCurUnit, curUnitItems_);
    applyList(cboValveS_, model_.cboValveS, valveItems_);
    progress_->refresh();

    if (logic_.ended && !endQueued_) {
        endQueued_ = true;
        // Not from inside the handler that ended the program: let it return first.
        QMetaObject::invokeMethod(this, &FrmTerminalWindow::endProgram, Qt::QueuedConnection);
    }
}

void FrmTerminalWindow::applyWidget(QWidget* widget, const monitor::Control& control) {
    const QString caption = text(control.caption);
    if (widget == this) {
        if (windowTitle() != caption)
            setWindowTitle(caption);
        return; // shown and hidden by the program, not the model
    }
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        if (box->title() != caption)
            box->setTitle(caption);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(caption);
    } else if (widget == txtTerm_) {
        if (txtTermShown_ != control.caption) {
            txtTerm_->setPlainText(caption);
            txtTerm_->moveCursor(QTextCursor::End);
            txtTermShown_ = control.caption;
        }
    }
    if (widget->toolTip() != text(control.toolTip))
        widget->setToolTip(text(control.toolTip));
    widget->setEnabled(control.enabled);
    if (widget->isHidden() == control.visible)
        widget->setVisible(control.visible);
}

void FrmTerminalWindow::applyAction(QAction* action, const monitor::Control& control) {
    action->setText(text(control.caption));
    action->setEnabled(control.enabled);
    action->setVisible(control.visible);
    if (control.checked && !action->isCheckable())
        action->setCheckable(true);
    // The model is the truth: this also undoes the toggle Qt made when the entry was chosen.
    if (action->isCheckable())
        action->setChecked(control.checked);
}

void FrmTerminalWindow::applyList(QComboBox* combo, const monitor::ListControl& list,
                                  std::vector<std::string>& shownItems) {
    // Moving a list from code is not a choice of the operator: no handler may run.
    const QSignalBlocker block(combo);
    if (shownItems != list.items) {
        combo->clear();
        for (std::size_t i = 0; i < list.items.size(); ++i)
            combo->addItem(text(list.items[i]),
                           i < list.itemData.size() ? QVariant(list.itemData[i]) : QVariant());
        shownItems = list.items;
    }
    const int index = list.listIndex >= 0 && list.listIndex < combo->count() ? list.listIndex : -1;
    if (combo->currentIndex() != index)
        combo->setCurrentIndex(index);
    combo->setEnabled(list.enabled);
    if (combo->isHidden() == list.visible)
        combo->setVisible(list.visible);
}

void FrmTerminalWindow::closeEvent(QCloseEvent* event) {
    if (logic_.ended) {
        progress_->hide();
        event->accept();
        return;
    }
    if (closing_) {
        event->ignore(); // the close sequence is already running (waiting for the port)
        return;
    }
    closing_ = true;
    QPointer<FrmTerminalWindow> self(this);
    const bool close = logic_.Form_QueryUnload();
    if (!self)
        return;
    closing_ = false;
    if (close) {
        progress_->hide();
        event->accept();
    } else {
        event->ignore(); // Abort while draining the port: the program keeps running
    }
}

void FrmTerminalWindow::endProgram() {
    progress_->hide();
    // Waits still in progress give up, so their handlers return and the event loop can end.
    logic_.runtime().pump().shutdown();
    if (isVisible())
        close();
    QCoreApplication::quit();
}

} // namespace kvt::ui
