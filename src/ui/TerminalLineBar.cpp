#include "ui/TerminalLineBar.h"

#include "monitor/TerminalLine.h"
#include "ui/WidgetText.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace kvt::ui {

// The line box: Enter sends, Up and Down browse the history; everything else edits as usual.
class LineInput : public QLineEdit {
public:
    LineInput(monitor::TerminalLine& logic, std::function<void()> handled, QWidget* parent)
        : QLineEdit(parent), logic_(logic), handled_(std::move(handled)) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        std::optional<std::string> shown;
        switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (logic_.sendLine(codes()))
                clear();
            handled_();
            return;
        case Qt::Key_Up:
            shown = logic_.historyUp(codes());
            break;
        case Qt::Key_Down:
            shown = logic_.historyDown();
            break;
        default:
            QLineEdit::keyPressEvent(e);
            return;
        }
        if (shown)
            setText(latin1(*shown));
    }

private:
    std::u32string codes() const {
        std::u32string out;
        for (char32_t c : text().toUcs4())
            out += c;
        return out;
    }

    monitor::TerminalLine& logic_;
    std::function<void()> handled_;
};

namespace {

// The shown text mostly grows at its end: keep the common start and replace only the rest.
void showIncrementally(QPlainTextEdit* view, const std::string& old, const std::string& now) {
    const auto diff = std::mismatch(old.begin(), old.end(), now.begin(), now.end());
    const auto same = static_cast<std::size_t>(diff.first - old.begin());
    // The views keep a line end as one break; the texts keep CR LF.
    auto widgetText = [](std::string_view s) {
        std::string t;
        t.reserve(s.size());
        for (char c : s)
            if (c != '\r')
                t += c;
        return latin1(t);
    };
    if (same < old.size() / 2) {
        view->setPlainText(widgetText(now));
    } else {
        const std::string_view kept = std::string_view(now).substr(0, same);
        const int at = static_cast<int>(
            same - static_cast<std::size_t>(std::count(kept.begin(), kept.end(), '\r')));
        QTextCursor c(view->document());
        c.setPosition(at);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.insertText(widgetText(std::string_view(now).substr(same)));
    }
    view->moveCursor(QTextCursor::End);
    view->ensureCursorVisible();
}

} // namespace

TerminalLineBar::TerminalLineBar(monitor::TerminalLine& logic, QWidget* teletype,
                                 QWidget* viewParent, QWidget* parent)
    : QWidget(parent), logic_(logic), teletype_(teletype) {
    setObjectName("fraTermBar");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    hex_ = new QPlainTextEdit(viewParent);
    hex_->setObjectName("txtHex");
    hex_->setReadOnly(true);
    hex_->setFont(fixed);
    hex_->setLineWrapMode(QPlainTextEdit::NoWrap);
    hex_->setUndoRedoEnabled(false);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* options = new QHBoxLayout;
    rows->addLayout(options);
    auto check = [this, options](const char* name, std::function<void(bool)> click) {
        auto* box = new QCheckBox(this);
        box->setObjectName(name);
        box->setFocusPolicy(Qt::TabFocus);
        connect(box, &QCheckBox::clicked, this, [this, click = std::move(click)](bool on) {
            click(on);
            handled();
        });
        widgets_[name] = box;
        options->addWidget(box);
    };
    check("chkLineMode", [this](bool on) { logic_.chkLineMode_Click(on); });
    check("chkAddress", [this](bool on) { logic_.chkAddress_Click(on); });
    options->addStretch();
    check("chkHex", [this](bool on) { logic_.chkHex_Click(on); });
    check("chkTimes", [this](bool on) { logic_.chkTimes_Click(on); });
    auto* save = new QPushButton(this);
    save->setObjectName("cmdSaveTranscript");
    save->setAutoDefault(false);
    save->setFocusPolicy(Qt::TabFocus);
    connect(save, &QPushButton::clicked, this, [this] {
        logic_.cmdSaveTranscript_Click();
        handled();
    });
    widgets_["cmdSaveTranscript"] = save;
    options->addWidget(save);

    line_ = new LineInput(
        logic_, [this] { handled(); }, this);
    line_->setObjectName("txtLine");
    line_->setFont(fixed);
    line_->setMaxLength(static_cast<int>(monitor::TerminalLine::kMaxLine));
    widgets_["txtLine"] = line_;
    rows->addWidget(line_);
    widgets_["txtHex"] = hex_;
    widgets_["fraTermBar"] = this;
}

void TerminalLineBar::handled() {
    if (onHandled)
        onHandled();
}

void TerminalLineBar::apply(QWidget* w, const monitor::Control& c) {
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
        box->setText(latin1(c.caption));
        box->setChecked(c.checked);
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->setText(latin1(c.caption));
    }
    if (w->toolTip() != latin1(c.toolTip))
        w->setToolTip(latin1(c.toolTip));
    w->setEnabled(c.enabled);
    if (w->isHidden() == c.visible)
        w->setVisible(c.visible);
}

void TerminalLineBar::refresh(bool teletypeVisible) {
    logic_.model.forEachControl([this](const std::string& name, const monitor::Control& c) {
        if (auto it = widgets_.find(name); it != widgets_.end())
            apply(it->second, c);
    });
    const bool hex = logic_.hexShown();
    if (teletype_->isHidden() == (teletypeVisible && !hex))
        teletype_->setVisible(teletypeVisible && !hex);
    if (hex) {
        const std::string& now = logic_.shownText();
        if (now != hexShown_) {
            showIncrementally(hex_, hexShown_, now);
            hexShown_ = now;
        }
    }
    // A line box that comes up takes the keys.
    const bool lineVisible = !line_->isHidden();
    if (lineVisible && !lineShown_)
        line_->setFocus();
    lineShown_ = lineVisible;
}

} // namespace kvt::ui
