#include "ui/SetPointEdit.h"

#include "monitor/SetPointEntry.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

namespace kvt::ui {

namespace {

bool isEditingShortcut(QKeyEvent* e) {
    return e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Paste) ||
           e->matches(QKeySequence::Cut) || e->matches(QKeySequence::SelectAll) ||
           e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo);
}

} // namespace

SetPointEdit::SetPointEdit(QWidget* parent) : QLineEdit(parent) {}

bool SetPointEdit::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride && isEditingShortcut(static_cast<QKeyEvent*>(e))) {
        e->accept();
        return true;
    }
    return QLineEdit::event(e);
}

void SetPointEdit::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        if (onCommit)
            onCommit(text());
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        QByteArray pasted = QApplication::clipboard()->text().toLatin1();
        insert(QString::fromLatin1(
            monitor::setPointText(std::string(pasted.constData(), pasted.size())).c_str()));
        return;
    }
    const QString typed = e->text();
    bool printable = !typed.isEmpty() && typed.at(0).isPrint();
    if (printable && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QByteArray latin = typed.toLatin1();
        if (latin.size() != 1 || !monitor::setPointCharacter(latin.at(0)))
            return; // dropped silently
    }
    QLineEdit::keyPressEvent(e);
}

} // namespace kvt::ui
