#pragma once

#include <QWidget>

#include <functional>
#include <map>
#include <string>

class QPlainTextEdit;

namespace kvt::monitor {
class TerminalLine;
struct Control;
} // namespace kvt::monitor

namespace kvt::ui {

class LineInput;

// The bar under the teletype area (line mode, address header, hex view, timestamps, saving the
// transcript) and the hex view that takes the teletype area's place. Follows the logic's model.
class TerminalLineBar : public QWidget {
    Q_OBJECT
public:
    // `teletype` is hidden while the hex view shows; `viewParent` holds the hex view.
    TerminalLineBar(monitor::TerminalLine& logic, QWidget* teletype, QWidget* viewParent,
                    QWidget* parent = nullptr);

    QPlainTextEdit* hexView() const { return hex_; }
    // Copies the model into the widgets; `teletypeVisible`: the terminal's text area is open.
    void refresh(bool teletypeVisible);
    // Runs after an action of the operator, so the window can follow the model.
    std::function<void()> onHandled;

private:
    void handled();
    void apply(QWidget* w, const monitor::Control& c);

    monitor::TerminalLine& logic_;
    QWidget* teletype_;
    QPlainTextEdit* hex_;
    LineInput* line_;
    std::map<std::string, QWidget*> widgets_;
    std::string hexShown_;
    bool lineShown_ = false;
};

} // namespace kvt::ui
