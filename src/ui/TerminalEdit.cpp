#include "ui/TerminalEdit.h"

#include "monitor/TerminalWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTextBlock>

#include <algorithm>
#include <string_view>

namespace kvt::ui {

namespace {

bool isEditingShortcut(QKeyEvent* e) {
    return e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Paste) ||
           e->matches(QKeySequence::Cut) || e->matches(QKeySequence::SelectAll);
}

// The widget keeps a line end as one paragraph break; the text keeps CR LF. Mapping each character
// on its own (CR is the break, LF shows nothing) lets a shown prefix be cut and a tail be appended
// without rebuilding the document.
QString toWidget(std::string_view s) {
    QString t;
    t.reserve(static_cast<qsizetype>(s.size()));
    for (char c : s) {
        if (c == '\n')
            continue;
        t += c == '\r' ? QChar('\n') : QChar(static_cast<unsigned char>(c));
    }
    return t;
}

int widgetLength(std::string_view s) {
    return static_cast<int>(s.size() -
                            static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')));
}

std::string fromWidget(const QString& t) {
    std::string out;
    out.reserve(static_cast<std::size_t>(t.size()));
    for (QChar c : t) {
        if (c == QChar('\n'))
            out += "\r\n";
        else
            out += c.unicode() <= 0xff ? static_cast<char>(c.unicode()) : '?';
    }
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
        // The text mostly grows at its end and loses whole blocks at its start: cut and append
        // instead of laying out sixteen thousand characters again.
        const std::string_view old(shown_);
        std::size_t cut = 0;
        while (cut < old.size() &&
               !(text.size() >= old.size() - cut &&
                 std::string_view(text).substr(0, old.size() - cut) == old.substr(cut)))
            cut += std::min(monitor::TerminalWindow::kTrimBlock, old.size() - cut);
        if (cut >= old.size()) {
            setPlainText(toWidget(text));
        } else {
            QTextCursor c(document());
            if (cut > 0) {
                c.setPosition(0);
                c.setPosition(widgetLength(old.substr(0, cut)), QTextCursor::KeepAnchor);
                c.removeSelectedText();
            }
            c.movePosition(QTextCursor::End);
            c.insertText(toWidget(std::string_view(text).substr(old.size() - cut)));
        }
        shown_ = text;
    }
    if (selectionSerial != serial_) {
        serial_ = selectionSerial;
        QTextCursor c = textCursor();
        // Positions count the widget's characters, where CR LF is one break.
        const std::string_view all(shown_);
        const std::size_t from = std::min(logic_.selStart, all.size());
        const int start = widgetLength(all.substr(0, from));
        const int length = widgetLength(all.substr(from, logic_.selLength));
        const int end = widgetLength(all);
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
