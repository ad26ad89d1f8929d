#pragma once

#include <QLineEdit>

#include <functional>

namespace kvt::ui {

// A set-point box: digits and "." are typed, pasted text keeps only those, navigation and
// editing keys work as usual, and Enter commits. Copy, paste, cut and select-all stay the box's
// own while it has the focus, so they never reach the menus' Ctrl shortcuts.
class SetPointEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit SetPointEdit(QWidget* parent = nullptr);
    std::function<void(const QString&)> onCommit;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
};

} // namespace kvt::ui
