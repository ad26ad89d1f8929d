#include "platform/qt/QtOperator.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include <utility>
#include <vector>

namespace kvt::platform::qt {

namespace {

QString latin1(const std::string& text) {
    return QString::fromLatin1(text);
}

std::vector<std::pair<QMessageBox::StandardButton, Answer>> buttonsOf(Buttons buttons) {
    using B = QMessageBox;
    switch (buttons) {
    case Buttons::Ok:
        return {{B::Ok, Answer::Ok}};
    case Buttons::OkCancel:
        return {{B::Ok, Answer::Ok}, {B::Cancel, Answer::Cancel}};
    case Buttons::AbortRetryIgnore:
        return {{B::Abort, Answer::Abort}, {B::Retry, Answer::Retry}, {B::Ignore, Answer::Ignore}};
    case Buttons::YesNoCancel:
        return {{B::Yes, Answer::Yes}, {B::No, Answer::No}, {B::Cancel, Answer::Cancel}};
    case Buttons::YesNo:
        return {{B::Yes, Answer::Yes}, {B::No, Answer::No}};
    case Buttons::RetryCancel:
        return {{B::Retry, Answer::Retry}, {B::Cancel, Answer::Cancel}};
    }
    return {{B::Ok, Answer::Ok}};
}

// What closing the box without a button means: the set's way out.
Answer escapeAnswer(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::AbortRetryIgnore:
        return Answer::Abort;
    case Buttons::YesNo:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

std::string toDisplayText(std::string text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            shown += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

std::string toQtFilter(const std::string& filter) {
    if (filter.find('|') == std::string::npos)
        return filter;
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    std::string result;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        // The name may already show its patterns, in another case than the real ones; Qt reads the
        // patterns from the parentheses, so they are rebuilt from the pattern field.
        std::string name = parts[i];
        if (const auto paren = name.rfind('('); paren != std::string::npos && name.back() == ')')
            name.erase(paren);
        name = trimmed(name);
        std::string patterns;
        std::string::size_type from = 0;
        const std::string& field = parts[i + 1];
        for (;;) {
            const auto semicolon = field.find(';', from);
            std::string pattern = trimmed(field.substr(from, semicolon - from));
            if (pattern == "*.*")
                pattern = "*"; // every file, also those without an extension
            if (!pattern.empty())
                patterns += (patterns.empty() ? "" : " ") + pattern;
            if (semicolon == std::string::npos)
                break;
            from = semicolon + 1;
        }
        if (patterns.empty())
            patterns = "*";
        if (!result.empty())
            result += ";;";
        result += (name.empty() ? patterns : name) + " (" + patterns + ")";
    }
    return result;
}

Answer QtOperator::message(const Message& message) {
    const auto buttons = buttonsOf(message.buttons);
    QMessageBox box(toQt(message.icon), latin1(message.title), latin1(toDisplayText(message.text)),
                    QMessageBox::NoButton, parent_);
    // Texts are shown as they are, also when they happen to look like markup.
    box.setTextFormat(Qt::PlainText);
    for (const auto& button : buttons)
        box.addButton(button.first);
    const std::size_t defaultIndex =
        message.defaultButton >= 0 &&
                static_cast<std::size_t>(message.defaultButton) < buttons.size()
            ? static_cast<std::size_t>(message.defaultButton)
            : 0;
    box.setDefaultButton(buttons[defaultIndex].first);
    const Answer escape = escapeAnswer(message.buttons);
    for (const auto& button : buttons) {
        if (button.second == escape)
            box.setEscapeButton(button.first);
    }
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const auto& button : buttons) {
        if (button.first == clicked)
            return button.second;
    }
    return escape;
}

std::string QtOperator::input(const std::string& prompt, const std::string& title,
                              const std::string& defaultText) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(parent_, latin1(title), latin1(toDisplayText(prompt)),
                              QLineEdit::Normal, latin1(defaultText), &accepted);
    if (!accepted)
        return {};
    return text.toLatin1().toStdString();
}

std::optional<std::string> QtOperator::chooseFile(const FileRequest& request) {
    const QString qtFilter = latin1(toQtFilter(request.filter));
    QFileDialog dialog(parent_, latin1(request.title), QString(), qtFilter);
    if (request.save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmReplace);
        // A typed name without extension gets the first filter's one ("*.prg" gives "prg").
        const auto firstPattern = qtFilter.section(QLatin1String(";;"), 0, 0);
        const auto open = firstPattern.lastIndexOf(QLatin1String("(*."));
        if (open >= 0) {
            const QString suffix =
                firstPattern.mid(open + 3).section(QLatin1Char(' '), 0, 0).remove(QLatin1Char(')'));
            if (!suffix.isEmpty() && !suffix.contains(QLatin1Char('*')))
                dialog.setDefaultSuffix(suffix);
        }
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.proposedName.empty()) {
        const QString proposed = QFile::decodeName(QByteArray::fromStdString(request.proposedName));
        const QFileInfo info(proposed);
        if (info.isDir()) {
            dialog.setDirectory(proposed);
        } else {
            if (proposed.contains(QLatin1Char('/')))
                dialog.setDirectory(info.absolutePath());
            dialog.selectFile(info.fileName());
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    // Paths go to the file system as they are named there, not as Latin-1 display text.
    return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

void QtOperator::beep() {
    QApplication::beep();
}

} // namespace kvt::platform::qt
