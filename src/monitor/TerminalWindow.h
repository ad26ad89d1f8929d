#pragma once

#include "platform/Runtime.h"

#include <cstddef>
#include <memory>
#include <string>

namespace kvt::monitor {

class FrmTerminal;
class TerminalLine;

// The teletype area txtTerm of the main window: typed characters go to the port one byte each,
// received text is shown with its backspaces and line ends, and a log copy goes to the
// communications log. Started and stopped from "&Terminal" ("&Start", "&Stop").
class TerminalWindow {
public:
    // Registers mnuStart and mnuStop and takes the received text the port hands over.
    explicit TerminalWindow(FrmTerminal& terminal);
    ~TerminalWindow();
    TerminalWindow(const TerminalWindow&) = delete;
    TerminalWindow& operator=(const TerminalWindow&) = delete;

    void mnuStart_Click();
    void mnuStop_Click();

    // A key typed in txtTerm, by character code (Enter 13, Backspace 8). True: the logic took the
    // key (the port is open); false: the text area edits its text as usual, nothing is sent.
    bool txtTerm_KeyPress(char32_t code);
    // Pasted text while the port is open goes out as if typed, each line end as one CR. False:
    // the port is closed and the text area pastes as usual.
    bool paste(const std::u32string& text);
    // The operator edited the text locally (port closed).
    void txtTerm_Change(const std::string& text);

    // Received text (one chunk as it came), shown by the teletype rules.
    void display(std::string chunk);
    // A whole line from the line mode (with its CR): sent as if typed at once, echoed when the
    // echo flag is on.
    void sendLine(const std::string& bytes);

    // Line mode, hex view and transcript.
    TerminalLine& line() { return *line_; }

    // Selection the widget applies whenever `selectionSerial` moves: Start selects from the caret.
    std::size_t selStart = 0;
    std::size_t selLength = 0;
    unsigned selectionSerial = 0;

    // Typed bytes waiting for a command's exchange to end.
    const std::string& waiting() const { return waiting_; }

    static constexpr std::size_t kMaxText = 16000;
    static constexpr std::size_t kTrimBlock = 4096;

private:
    void sendTyped(const std::string& bytes);
    void write(std::string bytes);
    void flushWaiting();
    void echo(char byte);
    void trim(std::string& text) const;

    FrmTerminal& t_;
    std::string waiting_;
    std::unique_ptr<platform::Timer> flush_;
    std::unique_ptr<TerminalLine> line_;
};

} // namespace kvt::monitor
