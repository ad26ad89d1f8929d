#pragma once

#include "monitor/FrmTerminal.h"
#include "ui/DialogParts.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QGroupBox;
class QPlainTextEdit;
class QProgressBar;
class QScrollBar;
class QStatusBar;

namespace kvt::ui {

class FrmProgressBarWindow;
class TerminalEdit;
class TerminalLineBar;
class TrendWindow;
class BusHealthWindow;

// The main window. Every widget is named after its control in the logic's model and follows the
// model; user actions go to the logic's handlers and the widgets are then refreshed from the model.
class FrmTerminalWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit FrmTerminalWindow(monitor::FrmTerminal& logic, QWidget* parent = nullptr);
    ~FrmTerminalWindow() override;

    // Copies the whole model into the widgets.
    // Copies the model into the widgets; `force` re-applies controls that did not change.
    void refresh(bool force = false);
    // How long after a change of the model the widgets follow (0: at the next loop pass, and
    // no gap between refreshes).
    void setRefreshDelay(int ms) {
        refreshDelayMs_ = ms;
        refreshGapMs_ = ms > 0 ? kRefreshGapMs : 0;
    }
    static constexpr int kRefreshDelayMs = 40;
    // Under a stream of changes (received text, a fast scan) the window repaints at most this
    // often: more repaints cost CPU and show nothing a reader could follow.
    static constexpr int kRefreshGapMs = 100;

    FrmProgressBarWindow* progressWindow() const { return progress_; }
    // The Trend and Bus Health windows, made when first asked for; closing them only hides them.
    TrendWindow* trendWindow();
    BusHealthWindow* busHealthWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildCentralArea();
    void buildStatusBars(QStatusBar* sbrStatus1);
    QGroupBox* buildSinglePanel(QWidget* parent);
    QGroupBox* buildMultiFrame(QWidget* parent, bool eight);
    // A set-point box and its slider, named, with their handlers.
    QWidget* setPointEdit(QWidget* parent, const std::string& name,
                          std::function<void(const std::string&)> commit);
    QScrollBar* setPointSlider(QWidget* parent, const std::string& name,
                               std::function<void(int)> change);
    QWidget* button(QWidget* parent, const char* name, std::function<void()> click);
    void applyScroll(QScrollBar* bar, const monitor::ScrollControl& scroll);
    // Runs a handler of the logic, then shows what it changed (unless the window went away).
    template <typename F> void forward(F&& handler);
    void applyWidget(QWidget* widget, const monitor::Control& control);
    void applyAction(QAction* action, const monitor::Control& control);
    void applyList(QComboBox* combo, const monitor::ListControl& list,
                   std::vector<std::string>& shownItems);
    void endProgram();
    // The program panel inside fraProg, following the runner's panel model.
    void buildProgramPanel(QGroupBox* box);
    void refreshProgramPanel();

    monitor::FrmTerminal& logic_;
    monitor::FrmTerminalModel& model_;
    bool refreshQueued_ = false;
    int refreshDelayMs_ = kRefreshDelayMs;
    int refreshGapMs_ = kRefreshGapMs;
    QElapsedTimer lastRefresh_;
    // Each named control with its widget or menu action and what was last shown of it, found once:
    // a refresh then walks a flat list instead of looking up two hundred names.
    struct ControlBinding {
        const monitor::Control* control;
        QWidget* widget;
        QAction* action;
        monitor::Control applied;
        bool shown = false;
    };
    std::vector<ControlBinding> controlBindings_;
    struct ScrollBinding {
        const monitor::ScrollControl* scroll;
        QScrollBar* bar;
        monitor::ScrollControl applied;
        bool shown = false;
    };
    std::vector<ScrollBinding> scrollBindings_;
    void bindControls();
    // The widgets follow the models a moment after a change, once for all changes made meanwhile.
    void scheduleRefresh();

    std::map<std::string, QWidget*> widgets_;     // by control name
    std::map<std::string, QAction*> menuActions_; // menu entries, parents by their menuAction()
    std::map<std::string, QAction*> toolActions_; // by button key
    std::map<std::string, QLabel*> sbrStatusPanels_;
    std::map<std::string, QLabel*> sbrStatus1Panels_;
    std::map<std::string, QScrollBar*> scrolls_;
    QComboBox* cboCurUnit_ = nullptr;
    QComboBox* cboValveS_ = nullptr;
    std::vector<std::string> curUnitItems_;
    std::vector<std::string> valveItems_;
    TerminalEdit* txtTerm_ = nullptr;
    TerminalLineBar* termBar_ = nullptr;
    std::map<std::string, QWidget*> programWidgets_;
    QProgressBar* progressBar2_ = nullptr;
    FrmProgressBarWindow* progress_ = nullptr;
    bool closing_ = false;   // inside the logic's close sequence
    bool endQueued_ = false; // the logic has ended; quitting is on its way
    TrendWindow* trend_ = nullptr;
    BusHealthWindow* busHealth_ = nullptr;
    // The models cannot forget a listener, and they may outlive the window.
    Liveness liveness_;
};

} // namespace kvt::ui
