#pragma once

#include "monitor/Controls.h"
#include "monitor/LineHistory.h"
#include "monitor/TerminalTranscript.h"

#include <optional>
#include <string>

namespace kvt::monitor {

class FrmTerminal;
class TerminalWindow;

// The bar under the teletype area and the hex view beside it, shown while the terminal is open.
struct TerminalLineModel : Observable {
    Control fraTermBar{.visible = false};
    Control chkLineMode{.caption = "Line mode",
                        .toolTip = "Type a whole line; Enter sends it with a carriage return"};
    Control txtLine{.toolTip = "Enter sends the line; Up and Down browse the lines sent before",
                    .visible = false};
    Control chkAddress{.caption = "Address header",
                       .toolTip = "Put the current device's RS-485 address header before the line",
                       .visible = false};
    Control chkHex{.caption = "Hex", .toolTip = "Show the bytes sent and received in hex"};
    Control chkTimes{.caption = "Timestamps", .enabled = false};
    Control cmdSaveTranscript{.caption = "Save transcript...",
                              .toolTip = "Save what the terminal shows to a text file"};
    Control txtHex{.visible = false};

    template <typename F> void forEachControl(F&& f) {
        f("fraTermBar", fraTermBar);
        f("chkLineMode", chkLineMode);
        f("txtLine", txtLine);
        f("chkAddress", chkAddress);
        f("chkHex", chkHex);
        f("chkTimes", chkTimes);
        f("cmdSaveTranscript", cmdSaveTranscript);
        f("txtHex", txtHex);
    }
};

// The terminal's line mode (a whole line per Enter, with a history kept between runs and an
// optional address header), its hex view of the traffic, and saving what it shows.
class TerminalLine {
public:
    TerminalLine(FrmTerminal& terminal, TerminalWindow& teletype);

    TerminalLineModel model;
    TerminalTranscript transcript;
    LineHistory history;

    // The terminal window opened or closed.
    void setShown(bool shown);
    void chkLineMode_Click(bool checked);
    void chkAddress_Click(bool checked);
    void chkHex_Click(bool checked);
    void chkTimes_Click(bool checked);
    void cmdSaveTranscript_Click();

    // Enter in txtLine: sends the line and a CR. False: refused (told to the operator) or the port
    // would not open; the line stays in the box.
    bool sendLine(const std::u32string& line);
    // Up and Down in txtLine: the text to put in the box, nullopt to leave it.
    std::optional<std::string> historyUp(const std::u32string& typed);
    std::optional<std::string> historyDown() { return history.down(); }

    // Traffic seen by the terminal.
    void recordSent(const std::string& bytes);
    void recordReceived(const std::string& bytes);

    bool hexShown() const { return model.txtHex.visible; }
    // What the terminal shows: the hex view's text or the teletype text.
    const std::string& shownText();

    static constexpr std::size_t kMaxLine = 255;

private:
    void applyVisibility();
    void tell(const std::string& text);

    FrmTerminal& t_;
    TerminalWindow& teletype_;
    bool shown_ = false;
    std::string hex_;
    unsigned hexSerial_ = 0;
    bool hexTimes_ = false;
    bool hexValid_ = false;
};

inline constexpr const char* kLineControlText =
    "The line holds a control character and was not sent. Type one command at a time.";
inline constexpr const char* kLineCharacterText =
    "The line holds a character that cannot go on the line (only Latin-1 text can) and was not "
    "sent.";
inline constexpr const char* kLineLengthText =
    "The line is longer than 255 characters and was not sent.";
inline constexpr const char* kLineNoAddressText =
    "The current device has no valid RS-485 address. Set it in the device properties first.";
inline constexpr const char* kTranscriptTitle = "Save Transcript";

} // namespace kvt::monitor
