#pragma once

#include <QPlainTextEdit>

namespace kvt::monitor {
class TerminalWindow;
}

namespace kvt::ui {

// The teletype area txtTerm. Keys go to the terminal logic, which sends them while the port is
// open; with the port closed the text is edited here as usual. Copy, paste, cut and select-all
// stay the area's own, so they never reach the menus' Ctrl shortcuts; every other shortcut does.
class TerminalEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    TerminalEdit(monitor::TerminalWindow& logic, QWidget* parent = nullptr);

    // Shows the logic's text and selection; no edit handler runs.
    void showText(const std::string& text, unsigned selectionSerial);
    // Runs after the logic took a key or a paste, so the window can follow the model.
    std::function<void()> onHandled;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    monitor::TerminalWindow& logic_;
    std::string shown_;
    unsigned serial_ = 0;
    bool applying_ = false;
};

} // namespace kvt::ui
