#include "ui/TerminalEdit.h"

#include "monitor/TerminalWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTextBlock>

namespace kvt::ui {

namespace {

bool isEditingShortcut(QKeyEvent* e) {
    return e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Paste) ||
           e->matches(QKeySequence::Cut) || e->matches(QKeySequence::SelectAll);
}

// The widget keeps line ends as paragraph breaks; the logic keeps CR LF.
QString toWidget(const std::string& s) {
    QString t = QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    t.replace("\r\n", "\n");
    t.replace('\r', '\n');
    return t;
}

std::string fromWidget(const QString& t) {
    QString s = t;
    s.replace("\n", "\r\n");
    std::string out;
    out.reserve(static_cast<std::size_t>(s.size()));
    for (QChar c : s)
        out += c.unicode() <= 0xff ? static_cast<char>(c.unicode()) : '?';
    return out;
}

} // namespace

TerminalEdit::TerminalEdit(monitor::TerminalWindow& logic, QWidget* parent)
    : QPlainTextEdit(parent), logic_(logic) {
    setUndoRedoEnabled(false);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (applying_)
            return;
        shown_ = fromWidget(toPlainText());
        logic_.txtTerm_Change(shown_);
        if (onHandled)
            onHandled();
    });
}

void TerminalEdit::showText(const std::string& text, unsigned selectionSerial) {
    if (text == shown_ && selectionSerial == serial_)
        return;
    applying_ = true;
    if (text != shown_) {
        // Received text mostly adds to the end: append instead of rebuilding the document.
        if (text.size() > shown_.size() && text.compare(0, shown_.size(), shown_) == 0 &&
            !shown_.empty() && shown_.back() != '\r') {
            QTextCursor c(document());
            c.movePosition(QTextCursor::End);
            c.insertText(toWidget(text.substr(shown_.size())));
        } else {
            setPlainText(toWidget(text));
        }
        shown_ = text;
    }
    if (selectionSerial != serial_) {
        serial_ = selectionSerial;
        QTextCursor c = textCursor();
        // Positions count the widget's characters, where CR LF is one break.
        const int end = static_cast<int>(toWidget(shown_).size());
        const int start = std::min(
            end, static_cast<int>(
                     toWidget(shown_.substr(0, std::min(logic_.selStart, shown_.size()))).size()));
        const int length = static_cast<int>(logic_.selLength);
        c.setPosition(start);
        c.setPosition(std::min(end, start + length), QTextCursor::KeepAnchor);
        setTextCursor(c);
        ensureCursorVisible();
    }
    applying_ = false;
}

bool TerminalEdit::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (isEditingShortcut(key)) {
            e->accept();
            return true;
        }
        // Every other Ctrl or Alt combination stays a menu shortcut (Stop among them).
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
            e->ignore();
            return false;
        }
    }
    return QPlainTextEdit::event(e);
}

void TerminalEdit::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Paste)) {
        const QString pasted = QApplication::clipboard()->text();
        std::u32string codes;
        for (char32_t c : pasted.toUcs4())
            codes += c;
        if (logic_.paste(codes)) {
            if (onHandled)
                onHandled();
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
        return;
    }
    if (isEditingShortcut(e)) {
        QPlainTextEdit::keyPressEvent(e);
        return;
    }
    char32_t code = 0;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        code = 13;
    else if (e->key() == Qt::Key_Backspace)
        code = 8;
    else if (!e->text().isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        code = e->text().toUcs4().value(0);
    if (code != 0 && logic_.txtTerm_KeyPress(code)) {
        if (onHandled)
            onHandled();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

} // namespace kvt::ui
