#include "monitor/TerminalLine.h"

#include "link/CommandLine.h"
#include "monitor/DataLogs.h"
#include "monitor/FrmTerminal.h"
#include "monitor/TerminalWindow.h"
#include "platform/SafeFile.h"

#include <cctype>

namespace kvt::monitor {

namespace {

constexpr const char* kHistorySection = "Terminal";
constexpr const char* kHistoryKey = "LineHistory";

bool validAddress(const std::string& a) {
    return a.size() == 2 && std::isxdigit(static_cast<unsigned char>(a[0])) &&
           std::isxdigit(static_cast<unsigned char>(a[1])) && a != "00";
}

std::string latin1(const std::u32string& text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        out += static_cast<char>(c);
    return out;
}

} // namespace

TerminalLine::TerminalLine(FrmTerminal& terminal, TerminalWindow& teletype)
    : t_(terminal), teletype_(teletype) {
    history = LineHistory::decode(
        t_.preferences().get(link::kApplication, kHistorySection, kHistoryKey, ""));
}

void TerminalLine::setShown(bool shown) {
    shown_ = shown;
    applyVisibility();
}

void TerminalLine::applyVisibility() {
    model.fraTermBar.visible = shown_;
    model.txtLine.visible = shown_ && model.chkLineMode.checked;
    model.chkAddress.visible = model.txtLine.visible;
    model.txtHex.visible = shown_ && model.chkHex.checked;
    model.chkTimes.enabled = model.chkHex.checked;
    model.changed();
}

void TerminalLine::chkLineMode_Click(bool checked) {
    model.chkLineMode.checked = checked;
    applyVisibility();
}

void TerminalLine::chkAddress_Click(bool checked) {
    model.chkAddress.checked = checked;
    model.changed();
}

void TerminalLine::chkHex_Click(bool checked) {
    model.chkHex.checked = checked;
    applyVisibility();
}

void TerminalLine::chkTimes_Click(bool checked) {
    model.chkTimes.checked = checked;
    model.changed();
}

void TerminalLine::tell(const std::string& text) {
    t_.op().message({text, kSystemMonitor, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
}

bool TerminalLine::sendLine(const std::u32string& line) {
    for (char32_t c : line) {
        if (isControlCode(c)) {
            tell(kLineControlText);
            return false;
        }
    }
    for (char32_t c : line) {
        if (c > 0xff) {
            tell(kLineCharacterText);
            return false;
        }
    }
    if (line.size() > kMaxLine) {
        tell(kLineLengthText);
        return false;
    }
    std::string header;
    if (model.chkAddress.checked && !t_.rs232()) {
        const int slot = t_.currentDevice();
        const std::string address =
            t_.table.holdsDevice(slot) ? t_.table.record(slot).Address : std::string{};
        if (!validAddress(address)) {
            tell(kLineNoAddressText);
            return false;
        }
        header = link::addressPrefix(false, address);
    }
    if (!t_.ports().openIfClosed())
        return false;
    const std::string text = latin1(line);
    teletype_.sendLine(header + text + "\r");
    history.add(text);
    t_.preferences().save(link::kApplication, kHistorySection, kHistoryKey, history.encode());
    return true;
}

std::optional<std::string> TerminalLine::historyUp(const std::u32string& typed) {
    std::string text;
    for (char32_t c : typed)
        text += c <= 0xff ? static_cast<char>(c) : '?';
    return history.up(text);
}

void TerminalLine::recordSent(const std::string& bytes) {
    transcript.record(true, bytes, t_.runtime().clock().timeOfDay());
    if (hexShown())
        model.changed();
}

void TerminalLine::recordReceived(const std::string& bytes) {
    transcript.record(false, bytes, t_.runtime().clock().timeOfDay());
    if (hexShown())
        model.changed();
}

const std::string& TerminalLine::shownText() {
    if (!model.chkHex.checked)
        return t_.model.txtTerm.caption;
    const bool times = model.chkTimes.checked;
    if (!hexValid_ || hexSerial_ != transcript.serial() || hexTimes_ != times) {
        hex_ = transcript.hexText(times);
        hexSerial_ = transcript.serial();
        hexTimes_ = times;
        hexValid_ = true;
    }
    return hex_;
}

void TerminalLine::cmdSaveTranscript_Click() {
    const std::string& folder = t_.logs().folder();
    auto chosen = t_.op().chooseFile(
        {.title = kTranscriptTitle,
         .filter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*",
         .proposedName = folder.empty() ? "terminal.txt" : folder + "/terminal.txt",
         .save = true});
    if (!chosen || chosen->empty())
        return;
    const std::string error = platform::replaceFile(*chosen, shownText());
    if (!error.empty())
        t_.op().message(
            {error, kTranscriptTitle, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
}

} // namespace kvt::monitor
