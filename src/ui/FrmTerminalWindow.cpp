#include "ui/FrmTerminalWindow.h"
#include "ui/SteadyWidgets.h"

#include "monitor/FrmProgram.h"
#include "monitor/MultiUnitMonitor.h"
#include "monitor/SingleUnitMonitor.h"
#include "monitor/TerminalLine.h"
#include "monitor/TerminalMenus.h"
#include "monitor/TerminalWindow.h"
#include "ui/BusHealthWindow.h"
#include "ui/FrmProgressBarWindow.h"
#include "ui/Icons.h"
#include "ui/SetPointEdit.h"
#include "ui/TerminalEdit.h"
#include "ui/TerminalLineBar.h"
#include "ui/TrendWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
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

namespace {
void showAndRaise(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
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
    bindControls();
    logic_.onShowTrend = [this] { showAndRaise(trendWindow()); };
    logic_.onShowBusHealth = [this] { showAndRaise(busHealthWindow()); };

    // Changes are shown together a moment later: an exchange changes the model several times,
    // and repainting for each change costs more than the exchange itself.
    model_.subscribe(liveness_.guard([this] { scheduleRefresh(); }));
    refresh();
    resize(820, 600);
}

FrmTerminalWindow::~FrmTerminalWindow() {
    logic_.onShowTrend = nullptr;
    logic_.onShowBusHealth = nullptr;
}

TrendWindow* FrmTerminalWindow::trendWindow() {
    if (!trend_)
        trend_ = new TrendWindow(logic_.trend(), logic_.op(), logic_.trend().exportFolder, this);
    return trend_;
}

BusHealthWindow* FrmTerminalWindow::busHealthWindow() {
    if (!busHealth_)
        busHealth_ = new BusHealthWindow(logic_.busStatistics(), this);
    return busHealth_;
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
    middle->addWidget(buildSinglePanel(content));
    middle->addWidget(buildMultiFrame(content, false));
    middle->addWidget(buildMultiFrame(content, true));
    auto* pages = new QHBoxLayout;
    pages->addStretch();
    pages->addWidget(button(content, "cmdLeftSh", [this] { logic_.multi().cmdLeftSh_Click(); }));
    pages->addWidget(button(content, "cmdRightSh", [this] { logic_.multi().cmdRightSh_Click(); }));
    middle->addLayout(pages);
    {
        auto* box = frame("fraProg", content);
        widgets_["fraProg"] = box;
        buildProgramPanel(box);
        middle->addWidget(box);
    }
    txtTerm_ = new TerminalEdit(logic_.terminalWindow(), content);
    txtTerm_->onHandled = [this] { refresh(); };
    txtTerm_->setObjectName("txtTerm");
    txtTerm_->setFont(fixed);
    QPalette blue = txtTerm_->palette();
    blue.setColor(QPalette::Text, Qt::blue);
    txtTerm_->setPalette(blue);
    widgets_["txtTerm"] = txtTerm_;
    middle->addWidget(txtTerm_, 1);
    auto& line = logic_.terminalWindow().line();
    termBar_ = new TerminalLineBar(line, txtTerm_, content, content);
    termBar_->onHandled = [this] { refresh(); };
    middle->addWidget(termBar_->hexView(), 1);
    middle->addWidget(termBar_);
    line.model.subscribe(liveness_.guard([this] { scheduleRefresh(); }));
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
    sendLayout->addRow("Transmitted:", new SteadyLabel(lblTr, fraSendR));
    sendLayout->addRow("Received:", new SteadyLabel(lblRs, fraSendR));
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

QWidget* FrmTerminalWindow::button(QWidget* parent, const char* name, std::function<void()> click) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::TabFocus);
    widgets_[name] = b;
    connect(b, &QPushButton::clicked, this, [this, click] { forward(click); });
    return b;
}

QWidget* FrmTerminalWindow::setPointEdit(QWidget* parent, const std::string& name,
                                         std::function<void(const std::string&)> commit) {
    auto* edit = new SetPointEdit(parent);
    edit->setObjectName(QString::fromStdString(name));
    edit->setMaximumWidth(110);
    edit->onCommit = [this, commit](const QString& text) {
        QByteArray latin = text.toLatin1();
        forward([&] { commit(std::string(latin.constData(), latin.size())); });
    };
    widgets_[name] = edit;
    return edit;
}

QScrollBar* FrmTerminalWindow::setPointSlider(QWidget* parent, const std::string& name,
                                              std::function<void(int)> change) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromStdString(name));
    bar->setMinimumWidth(100);
    scrolls_[name] = bar;
    // Moves made from the model are blocked, so this is the operator.
    connect(bar, &QScrollBar::valueChanged, this,
            [this, change](int value) { forward([&] { change(value); }); });
    return bar;
}

QGroupBox* FrmTerminalWindow::buildSinglePanel(QWidget* parent) {
    auto* fraSD = frame("fraSD", parent);
    widgets_["fraSD"] = fraSD;
    auto* grid = new QGridLayout(fraSD);
    grid->setHorizontalSpacing(10);
    auto* lblDNumber = modelLabel("lblDNumber", fraSD);
    auto* lblDName = modelLabel("lblDName", fraSD);
    auto* lblRead = modelLabel("lblRead", fraSD);
    QFont big = lblRead->font();
    big.setPointSizeF(big.pointSizeF() * 2.0);
    big.setBold(true);
    lblRead->setFont(big);
    lblRead->setMinimumWidth(QFontMetrics(big).horizontalAdvance("-00000.000"));
    auto* lblEU = modelLabel("lblEU", fraSD);
    lblEU->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    for (auto* l : {lblDNumber, lblDName, lblRead, lblEU})
        widgets_[l->objectName().toStdString()] = l;
    grid->addWidget(new QLabel("Device:", fraSD), 0, 0);
    grid->addWidget(lblDNumber, 0, 1);
    grid->addWidget(lblDName, 0, 2, 1, 2);
    grid->addWidget(new QLabel("Reading:", fraSD), 1, 0);
    grid->addWidget(new SteadyLabel(lblRead, fraSD), 1, 1, 1, 2);
    grid->addWidget(lblEU, 1, 3);
    grid->addWidget(new QLabel("Set Point", fraSD), 2, 0);
    grid->addWidget(
        setPointEdit(fraSD, "txtSetP",
                     [this](const std::string& t) { logic_.single().txtSetP_Commit(t); }),
        2, 1);
    grid->addWidget(
        setPointSlider(fraSD, "hscSetP", [this](int v) { logic_.single().hscSetP_Change(v); }), 2,
        2, 1, 2);
    cboValveS_ = new QComboBox(fraSD);
    cboValveS_->setObjectName("cboValveS");
    grid->addWidget(new QLabel("Valve", fraSD), 3, 0);
    grid->addWidget(cboValveS_, 3, 1);

    auto* fraTS = frame("fraTS", fraSD);
    widgets_["fraTS"] = fraTS;
    auto* ts = new QHBoxLayout(fraTS);
    auto* lblTO = modelLabel("lblTO", fraTS);
    widgets_["lblTO"] = lblTO;
    ts->addWidget(new SteadyLabel(lblTO, fraTS), 1);
    ts->addWidget(button(fraTS, "cmdTReset", [this] { logic_.single().cmdTReset_Click(); }));
    ts->addWidget(button(fraTS, "cmdTcontr", [this] { logic_.single().cmdTcontr_Click(); }));
    grid->addWidget(fraTS, 4, 0, 1, 4);

    auto* fraDSA = frame("fraDSA", fraSD);
    widgets_["fraDSA"] = fraDSA;
    auto* al = new QHBoxLayout(fraDSA);
    auto* label6 = modelLabel("Label6", fraDSA);
    label6->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    auto* lblAH = modelLabel("lblAH", fraDSA);
    widgets_["Label6"] = label6;
    widgets_["lblAH"] = lblAH;
    al->addWidget(label6);
    al->addWidget(new SteadyLabel(lblAH, fraDSA), 1);
    al->addWidget(button(fraDSA, "cmdAContr", [this] { logic_.single().cmdAContr_Click(); }));
    grid->addWidget(fraDSA, 5, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    return fraSD;
}

QGroupBox* FrmTerminalWindow::buildMultiFrame(QWidget* parent, bool eight) {
    const char* name = eight ? "fraMulti8" : "fraMulti";
    auto* outer = frame(name, parent);
    widgets_[name] = outer;
    auto* grid = new QGridLayout(outer);
    grid->setSpacing(6);
    const int count = eight ? 8 : 4;
    auto n = [](const char* base, int k) {
        return std::string(base) + "(" + std::to_string(k) + ")";
    };
    for (int k = 0; k < count; ++k) {
        auto* panel = frame(n(eight ? "fraMD8" : "fraMD", k).c_str(), outer);
        widgets_[panel->objectName().toStdString()] = panel;
        auto* v = new QGridLayout(panel);
        v->setSpacing(3);
        auto label = [&](const char* base) {
            QLabel* l = modelLabel(n(base, k).c_str(), panel);
            widgets_[l->objectName().toStdString()] = l;
            return l;
        };
        QLabel* num = label(eight ? "lblMD8Num" : "lblMDNum");
        QLabel* nameLabel = label(eight ? "lblMD8Name" : "lblMDName");
        QLabel* reading = label(eight ? "lblMD8RE" : "lblMDRe");
        QLabel* unit = label(eight ? "lblMD8EU" : "lblMDEU");
        // Short texts that must show whole; the name and reading may be cut at the edge.
        for (QLabel* l : {num, unit})
            l->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        QFont bold = reading->font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 1.3);
        reading->setFont(bold);
        v->addWidget(new QLabel("Device:", panel), 0, 0);
        v->addWidget(num, 0, 1);
        v->addWidget(nameLabel, 1, 0, 1, 2);
        v->addWidget(new QLabel("Reading:", panel), 2, 0, 1, 2);
        v->addWidget(new SteadyLabel(reading, panel), 3, 0);
        v->addWidget(unit, 3, 1);
        v->addWidget(new QLabel("Set Point", panel), 4, 0, 1, 2);
        v->addWidget(
            setPointEdit(panel, n(eight ? "txtMDSP8" : "txtMDSP", k),
                         [this, k](const std::string& t) { logic_.multi().txtMDSP_Commit(k, t); }),
            5, 0, 1, 2);
        v->addWidget(
            setPointSlider(panel, n(eight ? "HScMD8" : "hscMD", k),
                           [this, k](int value) { logic_.multi().hscMD_Change(k, value); }),
            6, 0, 1, 2);
        v->setColumnStretch(0, 1);
        grid->addWidget(panel, k / 4, k % 4);
    }
    return outer;
}

void FrmTerminalWindow::applyScroll(QScrollBar* bar, const monitor::ScrollControl& scroll) {
    const QSignalBlocker block(bar);
    bar->setRange(scroll.min, scroll.max);
    bar->setPageStep(scroll.largeChange);
    bar->setValue(scroll.value);
    bar->setEnabled(scroll.enabled);
    if (bar->isHidden() == scroll.visible)
        bar->setVisible(scroll.visible);
}

void FrmTerminalWindow::buildStatusBars(QStatusBar* sbrStatus1) {
    auto addPanels = [](QStatusBar* bar, const std::vector<std::pair<const char*, int>>& keys,
                        std::map<std::string, QLabel*>& panels) {
        for (const auto& [key, stretch] : keys) {
            QLabel* panel = modelLabel(key, bar);
            panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            panel->setMinimumWidth(60);
            bar->addPermanentWidget(new SteadyLabel(panel, bar), stretch);
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

void FrmTerminalWindow::scheduleRefresh() {
    if (refreshQueued_)
        return;
    refreshQueued_ = true;
    qint64 delay = refreshDelayMs_;
    if (lastRefresh_.isValid())
        delay = std::max(delay, refreshGapMs_ - lastRefresh_.elapsed());
    QTimer::singleShot(std::chrono::milliseconds(delay), this, [this] {
        refreshQueued_ = false;
        refresh();
    });
}

void FrmTerminalWindow::bindControls() {
    controlBindings_.clear();
    model_.forEachControl([this](const std::string& name, const monitor::Control& control) {
        auto w = widgets_.find(name);
        auto a = menuActions_.find(name);
        if (w != widgets_.end())
            controlBindings_.push_back({&control, w->second, nullptr, {}});
        else if (a != menuActions_.end())
            controlBindings_.push_back({&control, nullptr, a->second, {}});
    });
    scrollBindings_.clear();
    model_.forEachScroll([this](const std::string& name, const monitor::ScrollControl& scroll) {
        if (auto bar = scrolls_.find(name); bar != scrolls_.end())
            scrollBindings_.push_back({&scroll, bar->second, {}});
    });
}

void FrmTerminalWindow::refresh(bool force) {
    lastRefresh_.start();
    for (auto& b : controlBindings_) {
        const monitor::Control& control = *b.control;
        // Only what changed since the last refresh is applied; the logic changes a few controls
        // per exchange, and the window has some two hundred.
        if (!force && b.shown && b.applied == control)
            continue;
        // A box shows a new text from the model only when the model's text changed: what the
        // operator is typing is not thrown away by another change of the same control.
        bool newText = !b.shown || b.applied.caption != control.caption;
        b.applied = control;
        b.shown = true;
        if (b.widget) {
            if (auto* edit = qobject_cast<QLineEdit*>(b.widget); edit && newText)
                edit->setText(text(control.caption));
            applyWidget(b.widget, control);
        } else {
            applyAction(b.action, control);
        }
    }
    for (auto& b : scrollBindings_) {
        if (!force && b.shown && b.applied == *b.scroll)
            continue;
        b.applied = *b.scroll;
        b.shown = true;
        applyScroll(b.bar, b.applied);
    }
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
    // The line bar decides first whether the terminal area shows (the hex view hides it).
    termBar_->refresh(model_.txtTerm.visible);
    // Received text goes to the terminal area in every mode; laying it out while the area is
    // hidden costs a program run a tenth of its time. It catches up when the area shows.
    if (!txtTerm_->isHidden())
        txtTerm_->showText(model_.txtTerm.caption, logic_.terminalWindow().selectionSerial);
    refreshProgramPanel();

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
        if (const char* style = control.alert ? "color: red" : ""; label->styleSheet() != style)
            label->setStyleSheet(style);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        if (button->text() != caption)
            button->setText(caption);
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

void FrmTerminalWindow::buildProgramPanel(QGroupBox* box) {
    auto& panel = logic_.program().panel;
    auto* grid = new QGridLayout(box);
    auto add = [&](const char* name, int row, int column) {
        QLabel* label = modelLabel(name, box);
        programWidgets_[name] = label;
        grid->addWidget(new SteadyLabel(label, box), row, column);
    };
    grid->addWidget(new QLabel("Current Step:", box), 0, 0);
    add("lblStep", 0, 1);
    grid->addWidget(new QLabel("Value to Appr.", box), 1, 0);
    add("lblVtA", 1, 1);
    add("lblDur", 1, 2);
    grid->addWidget(new QLabel("Sec.", box), 1, 3);
    grid->addWidget(new QLabel("Reading:", box), 2, 0);
    add("lblRe", 2, 1);
    add("lblEU1", 2, 2);
    grid->addWidget(new QLabel("Set Point [%F.S.]", box), 3, 0);
    add("lblTest", 3, 1);
    progressBar2_ = blockProgressBar(box);
    progressBar2_->setObjectName("ProgressBar2");
    progressBar2_->setRange(0, 100);
    grid->addWidget(progressBar2_, 4, 0, 1, 4);
    auto* loop = new QCheckBox(box);
    loop->setObjectName("chkLoop");
    programWidgets_["chkLoop"] = loop;
    connect(loop, &QCheckBox::clicked, this,
            [this](bool checked) { forward([&] { logic_.program().chkLoop_Click(checked); }); });
    grid->addWidget(loop, 5, 0, 1, 2);
    auto* quit = new QPushButton(box);
    quit->setObjectName("Command1");
    programWidgets_["Command1"] = quit;
    connect(quit, &QPushButton::clicked, this,
            [this] { forward([&] { logic_.program().Command1_Click(); }); });
    grid->addWidget(quit, 5, 2, 1, 2);
    // A tick changes the panel several times; it follows together with the window.
    panel.subscribe(liveness_.guard([this] { scheduleRefresh(); }));
}

void FrmTerminalWindow::refreshProgramPanel() {
    auto& panel = logic_.program().panel;
    panel.forEachControl([this](const std::string& name, const monitor::Control& c) {
        auto it = programWidgets_.find(name);
        if (it == programWidgets_.end())
            return;
        if (auto* label = qobject_cast<QLabel*>(it->second)) {
            if (label->text() != text(c.caption))
                label->setText(text(c.caption));
        } else if (auto* check = qobject_cast<QCheckBox*>(it->second)) {
            check->setText(text(c.caption));
            check->setChecked(c.checked);
        } else if (auto* button = qobject_cast<QPushButton*>(it->second))
            button->setText(text(c.caption));
        it->second->setEnabled(c.enabled);
        if (it->second->isHidden() == c.visible)
            it->second->setVisible(c.visible);
    });
    setProgressValue(progressBar2_, panel.ProgressBar2);
}

} // namespace kvt::ui
