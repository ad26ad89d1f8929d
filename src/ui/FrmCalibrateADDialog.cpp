#include "ui/FrmCalibrateADDialog.h"
#include "ui/SteadyWidgets.h"

#include "ui/WidgetText.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

namespace kvt::ui {

namespace {

// One page: Start, the column headings and the two result labels.
QFrame* page(QWidget* parent, const char* name, QPushButton*& start, QLabel*& first,
             QLabel*& second, const char* startName, const char* firstName,
             const char* secondName) {
    auto* frame = named(new QFrame(parent), name);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(frame);
    start = button(frame, startName);
    grid->addWidget(start, 0, 0);
    grid->addWidget(new QLabel("Counts", frame), 0, 1);
    grid->addWidget(new QLabel("Value", frame), 0, 2);
    first = named(new QLabel(frame), firstName);
    second = named(new QLabel(frame), secondName);
    first->setMinimumWidth(420);
    grid->addWidget(first, 1, 0, 1, 3);
    grid->addWidget(second, 2, 0, 1, 3);
    return frame;
}

} // namespace

FrmCalibrateADDialog::FrmCalibrateADDialog(service::CalibrateAD& logic, QWidget* parent)
    : LogicDialog(
          parent, [&logic] { return logic.closed(); }, [&logic] { logic.Form_QueryUnload(); }),
      logic_(logic), model_(logic.model) {
    setObjectName("frmCalibrateAD");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    tabs_ = named(new QTabBar(this), "TabStripADC");
    tabs_->addTab("Input [ADC]");
    tabs_->setTabToolTip(0, "Analog Input Calibration");
    tabs_->addTab("Output [DAC]");
    tabs_->setTabToolTip(1, "Analog Output Calibration");
    top->addWidget(tabs_);
    top->addStretch();
    auto* optionBox = new QVBoxLayout;
    options_[0] = named(new QRadioButton(this), "OptIntrf_0");
    options_[1] = named(new QRadioButton(this), "OptIntrf_1");
    optionBox->addWidget(options_[0]);
    optionBox->addWidget(options_[1]);
    top->addLayout(optionBox);
    layout->addLayout(top);
    pages_[0] = page(this, "fraInterf_0", adcStart_, adcSpan_, adcOffset_, "cmdAdcStart",
                     "lblAdcSpan", "lblAdcOffset");
    pages_[1] = page(this, "fraInterf_1", dacStart_, dacSpan_, dacOffset_, "cmdDacStart",
                     "lblDacSpan", "lblDacOffset");
    layout->addWidget(pages_[0]);
    layout->addWidget(pages_[1]);
    progressFrame_ = named(new QGroupBox(this), "FraProgBar");
    auto* pl = new QVBoxLayout(progressFrame_);
    progress_ = named(new QProgressBar(progressFrame_), "ProgressBarADC");
    progress_->setRange(0, 5);
    pl->addWidget(progress_);
    layout->addWidget(progressFrame_);
    exit_ = button(this, "cmdCalExit", [this] { logic_.cmdCalExit_Click(); });
    layout->addLayout(buttonRow({}, {exit_}));
    // The tab strip and its pages never change size while the progress frame comes and goes.
    progressFrame_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(tabs_, &QTabBar::tabBarClicked, this, [this](int index) {
        if (!applying_ && index >= 0)
            logic_.TabStripADC_Click(index + 1);
        QTimer::singleShot(0, this, [this] { refresh(); });
    });
    for (int i = 0; i < 2; ++i)
        connect(options_[static_cast<std::size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { logic_.OptIntrf_Click(i); });
    connect(adcStart_, &QPushButton::clicked, this, [this] { logic_.cmdAdcStart_Click(); });
    connect(dacStart_, &QPushButton::clicked, this, [this] { logic_.cmdDacStart_Click(); });
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmCalibrateADDialog::refresh() {
    applying_ = true;
    setWindowTitle(latin1(model_.frmCalibrateAD.caption));
    tabs_->setCurrentIndex(model_.selectedTab - 1);
    tabs_->setEnabled(model_.TabStripADC.enabled);
    for (std::size_t i = 0; i < 2; ++i) {
        pages_[i]->setVisible(model_.fraInterf[i].visible);
        options_[i]->setText(latin1(model_.OptIntrf[i].caption));
        options_[i]->setChecked(model_.OptIntrf[i].checked);
        options_[i]->setEnabled(model_.OptIntrf[i].enabled);
    }
    follow(adcStart_, model_.cmdAdcStart);
    follow(dacStart_, model_.cmdDacStart);
    adcSpan_->setText(latin1(model_.lblAdcSpan.caption));
    adcOffset_->setText(latin1(model_.lblAdcOffset.caption));
    dacSpan_->setText(latin1(model_.lblDacSpan.caption));
    dacOffset_->setText(latin1(model_.lblDacOffset.caption));
    dacOffset_->setVisible(model_.lblDacOffset.visible);
    progressFrame_->setTitle(latin1(model_.FraProgBar.caption));
    progressFrame_->setVisible(model_.FraProgBar.visible);
    setProgressValue(progress_, model_.ProgressBarADC);
    follow(exit_, model_.cmdCalExit);
    applying_ = false;
    finishIfClosed();
}

} // namespace kvt::ui
