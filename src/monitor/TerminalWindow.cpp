#include "monitor/TerminalWindow.h"

#include "monitor/DataLogs.h"
#include "monitor/FrmTerminal.h"
#include "monitor/TerminalLine.h"

#include <utility>

namespace kvt::monitor {

namespace {
constexpr char kBackspace = 8;
constexpr char kLineFeed = 10;
constexpr char kReturn = 13;
// How often typed bytes held behind a command's exchange look for their turn.
constexpr int kFlushMs = 5;
} // namespace

TerminalWindow::TerminalWindow(FrmTerminal& terminal)
    : t_(terminal), flush_(terminal.runtime().createTimer(kFlushMs)),
      line_(std::make_unique<TerminalLine>(terminal, *this)) {
    t_.registerMenu("mnuStart", [this] { mnuStart_Click(); });
    t_.registerMenu("mnuStop", [this] { mnuStop_Click(); });
    t_.ports().onTerminalText = [this](const std::string& text) { display(text); };
    t_.ports().onTerminalSent = [this](const std::string& bytes) { line_->recordSent(bytes); };
    flush_->setOnTick([this] { flushWaiting(); });
}

TerminalWindow::~TerminalWindow() {
    t_.ports().onTerminalText = nullptr;
    t_.ports().onTerminalSent = nullptr;
}

void TerminalWindow::mnuStart_Click() {
    if (!t_.ports().openIfClosed())
        return;
    auto& m = t_.model;
    t_.setMenuEnabled("mnuStart", false);
    t_.setMenuEnabled("mnuStop", true);
    m.txtTerm.visible = true;
    // The caret stands at the end of the text, so the selection is empty unless the text was
    // edited with the caret elsewhere.
    selStart = m.txtTerm.caption.size();
    selLength = 0;
    ++selectionSerial;
    if (t_.comMonitor)
        m.fraSendR.visible = false;
    m.fraCD.visible = false;
    line_->setShown(true);
    m.changed();
}

void TerminalWindow::mnuStop_Click() {
    auto& m = t_.model;
    if (t_.port().portOpen()) {
        if (!t_.ports().closeWithDrain())
            return; // Abort: nothing else changes
        t_.ports().showPortClosed();
    }
    waiting_.clear();
    flush_->stop();
    t_.setMenuEnabled("mnuStart", true);
    t_.setMenuEnabled("mnuStop", false);
    m.txtTerm.visible = false;
    if (t_.comMonitor)
        m.fraSendR.visible = true;
    m.fraCD.visible = true;
    line_->setShown(false);
    m.changed();
}

bool TerminalWindow::txtTerm_KeyPress(char32_t code) {
    if (!t_.port().portOpen())
        return false;
    // One byte per character: what Latin-1 cannot hold is not sent.
    if (code > 0xff)
        return true;
    const char byte = static_cast<char>(code);
    sendTyped(std::string(1, byte));
    if (t_.settings.echo)
        echo(byte);
    selStart = t_.model.txtTerm.caption.size();
    selLength = 0;
    ++selectionSerial;
    t_.model.changed();
    return true;
}

bool TerminalWindow::paste(const std::u32string& text) {
    if (!t_.port().portOpen())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
            ++i;
        if (c == U'\n')
            c = U'\r';
        txtTerm_KeyPress(c);
    }
    return true;
}

void TerminalWindow::txtTerm_Change(const std::string& text) {
    t_.model.txtTerm.caption = text;
    trim(t_.model.txtTerm.caption);
}

void TerminalWindow::sendLine(const std::string& bytes) {
    sendTyped(bytes);
    if (t_.settings.echo)
        for (char byte : bytes)
            echo(byte);
    selStart = t_.model.txtTerm.caption.size();
    selLength = 0;
    ++selectionSerial;
    t_.model.changed();
}

void TerminalWindow::sendTyped(const std::string& bytes) {
    // Written straight to the port: typed text is no command and leaves the transaction flags
    // alone. While a command waits for its reply the bytes wait too, so they cannot split it.
    if (waiting_.empty() && t_.engine().inFlight() == 0) {
        write(bytes);
        return;
    }
    waiting_ += bytes;
    if (!flush_->isActive())
        flush_->start();
}

void TerminalWindow::write(std::string bytes) {
    t_.port().output(bytes);
    line_->recordSent(bytes);
}

void TerminalWindow::flushWaiting() {
    if (!t_.port().portOpen()) {
        waiting_.clear();
        flush_->stop();
        return;
    }
    if (t_.engine().inFlight() != 0)
        return;
    flush_->stop();
    if (!waiting_.empty())
        write(std::exchange(waiting_, std::string{}));
}

void TerminalWindow::echo(char byte) {
    auto& text = t_.model.txtTerm.caption;
    trim(text);
    if (byte == kBackspace) {
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
            text.resize(text.size() - 2);
        else if (!text.empty())
            text.pop_back();
    } else if (byte == kReturn) {
        text += "\r\n";
    } else {
        text += byte;
    }
    trim(text);
}

void TerminalWindow::trim(std::string& text) const {
    while (text.size() > kMaxText)
        text.erase(0, kTrimBlock);
}

void TerminalWindow::display(std::string t) {
    line_->recordReceived(t);
    auto& text = t_.model.txtTerm.caption;
    // 1
    trim(text);
    // 2: a leading backspace takes back one character already shown, however many follow.
    bool replaceLast = false;
    for (std::size_t bs = t.find(kBackspace); bs != std::string::npos; bs = t.find(kBackspace)) {
        if (bs == 0) {
            replaceLast = !text.empty();
            t.erase(0, 1);
        } else {
            t.erase(bs - 1, 2);
        }
    }
    // 3, 4
    std::string shown;
    shown.reserve(t.size() + 8);
    for (char c : t) {
        if (c == kLineFeed)
            continue;
        shown += c;
        if (c == kReturn)
            shown += kLineFeed;
    }
    // 5
    if (replaceLast)
        text.pop_back();
    text += shown;
    trim(text);
    // 6
    if (!shown.empty())
        t_.logs().writeComm(shown);
    // 7
    selStart = text.size();
    selLength = 0;
    ++selectionSerial;
    t_.model.changed();
}

} // namespace kvt::monitor
