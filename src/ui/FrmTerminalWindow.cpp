#include "ui/FrmTerminalWindow.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kvt::ui {

namespace {
QString text(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<int>(s.size())); }
} // namespace

FrmTerminalWindow::FrmTerminalWindow(monitor::FrmTerminalModel& model,
                                     monitor::PortController& ports, QWidget* parent)
    : QMainWindow(parent), model_(model), ports_(ports) {
    setObjectName("frmTerminal");
    setWindowTitle("KVT Control Terminal");

    auto* mnuCommPort = menuBar()->addMenu("Comm&Port");
    mnuCommPort->setObjectName("mnuCommPort");
    mnuOpen_ = mnuCommPort->addAction(text(model.menu("mnuOpen").caption));
    mnuOpen_->setObjectName("mnuOpen");
    mnuOpen_->setCheckable(true);
    connect(mnuOpen_, &QAction::triggered, this, [this] {
        ports_.mnuOpen_Click();
        refresh();
    });

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* connection = new QHBoxLayout;
    imgConnected_ = new QToolButton(central);
    imgConnected_->setObjectName("imgConnected");
    imgConnected_->setText("Connected");
    imgNotConnected_ = new QToolButton(central);
    imgNotConnected_->setObjectName("imgNotConnected");
    imgNotConnected_->setText("Not connected");
    connect(imgConnected_, &QToolButton::clicked, this, [this] { ports_.imgConnected_Click(); });
    connect(imgNotConnected_, &QToolButton::clicked, this, [this] { ports_.imgNotConnected_Click(); });
    connection->addWidget(imgConnected_);
    connection->addWidget(imgNotConnected_);
    connection->addStretch();
    layout->addLayout(connection);

    auto* fraSendR = new QGroupBox(text(model.fraSendR.caption), central);
    fraSendR->setObjectName("fraSendR");
    auto* frameLayout = new QVBoxLayout(fraSendR);
    lblTr_ = new QLabel(fraSendR);
    lblTr_->setObjectName("lblTr");
    lblRs_ = new QLabel(fraSendR);
    lblRs_->setObjectName("lblRs");
    frameLayout->addWidget(lblTr_);
    frameLayout->addWidget(lblRs_);
    layout->addWidget(fraSendR);
    layout->addStretch();
    setCentralWidget(central);

    auto* sbrStatus = statusBar();
    sbrStatus->setObjectName("sbrStatus");
    for (const char* key : {"Status", "Settings", "ConnectTime"}) {
        auto* panel = new QLabel(sbrStatus);
        panel->setObjectName(key);
        panel->setToolTip(text(model.sbrStatus[key].toolTip));
        sbrStatus->addPermanentWidget(panel, std::string(key) == "Settings" ? 1 : 0);
        panels_[key] = panel;
    }
    model_.subscribe([this] { refresh(); });
    refresh();
    resize(640, 300);
}

void FrmTerminalWindow::refresh() {
    lblTr_->setText(text(model_.lblTr.caption));
    lblRs_->setText(text(model_.lblRs.caption));
    imgConnected_->setVisible(model_.imgConnected.visible);
    imgConnected_->setToolTip(text(model_.imgConnected.toolTip));
    imgNotConnected_->setVisible(model_.imgNotConnected.visible);
    imgNotConnected_->setToolTip(text(model_.imgNotConnected.toolTip));
    mnuOpen_->setChecked(model_.menu("mnuOpen").checked);
    for (auto& [key, label] : panels_)
        label->setText(text(model_.sbrStatus[key].text));
}

} // namespace kvt::ui
