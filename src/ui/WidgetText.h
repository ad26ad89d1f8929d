#pragma once

#include <QRadioButton>
#include <QString>
#include <QWidget>

#include <string>

namespace kvt::ui {

// Texts of the logic are bytes, one character each (Latin-1).
inline QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::string latin1Bytes(const QString& s) {
    return s.toLatin1().toStdString();
}

// A radio button of an auto-exclusive set cannot be unchecked directly.
inline void setRadioChecked(QRadioButton* b, bool checked) {
    if (b->isChecked() == checked)
        return;
    if (!checked) {
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    } else {
        b->setChecked(true);
    }
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
