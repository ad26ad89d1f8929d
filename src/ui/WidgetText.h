#pragma once

#include <QString>
#include <QWidget>

#include <string>

namespace kvt::ui {

// Texts of the logic are bytes, one character each (Latin-1).
inline QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// Shows or hides a small window as its model says; a window that comes up is sized to its
// contents and centred on its owner.
inline void followVisibility(QWidget& window, bool visible) {
    if (visible == window.isVisible())
        return;
    if (!visible) {
        window.hide();
        return;
    }
    window.adjustSize();
    if (auto* owner = window.parentWidget(); owner && owner->isVisible())
        window.move(owner->geometry().center() - window.rect().center());
    window.show();
    window.raise();
}

} // namespace kvt::ui
