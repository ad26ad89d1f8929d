#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

class QGridLayout;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kvt::monitor {
struct Control;
}

namespace kvt::ui {

template <typename W> W* named(W* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

// A button that Enter in a text box never presses.
QPushButton* button(QWidget* parent, const char* name);
// The same, running `clicked` when pressed.
QPushButton* button(QWidget* parent, const char* name, std::function<void()> clicked);
// The button shows the control's caption and whether it is enabled.
void follow(QPushButton* b, const monitor::Control& c);

// `left` packed to the left, `right` to the right, a stretch between.
QHBoxLayout* buttonRow(std::initializer_list<QWidget*> left,
                       std::initializer_list<QWidget*> right = {});

// A caption in `column` and its field beside it; returns the caption.
QLabel* labelledRow(QGridLayout* grid, int row, const QString& caption, QWidget* field,
                    int column = 0);

// The key code the logic's key filters expect, or 0 for keys that only edit the box (arrows,
// Home, Delete).
int keyCode(const QKeyEvent* key);

// Hands every key press in `box` that has a code to `filter`; false swallows the key.
void filterKeys(QLineEdit* box, std::function<bool(int)> filter);

// A carriage return in the logic's text is a line break on screen.
QString shownText(const std::string& s);

// Guards the listeners a window gives to models that outlive it: once the window is destroyed they
// do nothing. Declare it as the window's last member, so it drops first, before Qt deletes the
// child widgets a listener would touch.
class Liveness {
public:
    Liveness() = default;
    Liveness(const Liveness&) = delete;
    Liveness& operator=(const Liveness&) = delete;
    ~Liveness();
    // Runs `f` only while the owner lives.
    std::function<void()> guard(std::function<void()> f) const;

private:
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A modal service dialog that stays until its logic has closed it: the title bar, Esc and Alt+F4
// go to the logic's close path, and the dialog ends once the logic says it is closed.
class LogicDialog : public QDialog {
public:
    LogicDialog(QWidget* parent, std::function<bool()> closed, std::function<void()> queryUnload);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    // Call at the end of every refresh.
    void finishIfClosed();
    // Runs `f` only while the dialog lives: models outlive their windows.
    std::function<void()> whileAlive(std::function<void()> f) const;

private:
    std::function<bool()> closed_;
    std::function<void()> queryUnload_;
    Liveness liveness_;
};

// A small window that stays above the main window by its window flag alone while a procedure
// runs. The title bar and Esc go to the logic's close path; the logic hides the window.
class LogicToolWindow : public QWidget {
public:
    LogicToolWindow(QWidget* parent, std::function<void()> queryUnload);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Runs `f` only while the window lives: models outlive their windows.
    std::function<void()> whileAlive(std::function<void()> f) const;

private:
    std::function<void()> queryUnload_;
    Liveness liveness_;
};

} // namespace kvt::ui
