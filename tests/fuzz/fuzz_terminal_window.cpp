// The terminal window on a simulated line: typed keys and pasted text reach the port byte for
// byte and in order, and received text of any kind leaves a bounded text without backspaces,
// every line feed after its carriage return, and the caret at the end.
#include "FuzzInput.h"
#include "monitor/TerminalLine.h"
#include "monitor/TerminalWindow.h"
#include "support/TerminalWorld.h"

using namespace kvt;
using kvt::fuzz::FuzzInput;

namespace {

struct Bench {
    Bench() {
        w.start();
        w.op.shown.clear();
        w.term->menuClick("mnuStart");
        KVT_FUZZ_CHECK(w.port.portOpen());
    }
    testing::TerminalWorld w{sim::LineMode::Rs232, {testing::deviceRecord("1", "01")}};
};

void checkText(monitor::TerminalWindow& tty, const std::string& text, bool echo) {
    KVT_FUZZ_CHECK(text.size() <= monitor::TerminalWindow::kMaxText);
    KVT_FUZZ_CHECK(text.find('\b') == std::string::npos);
    KVT_FUZZ_CHECK(tty.selStart == text.size() && tty.selLength == 0);
    if (echo)
        return; // a typed line feed is echoed as it is
    for (std::size_t lf = text.find('\n', 1); lf != std::string::npos; lf = text.find('\n', lf + 1))
        KVT_FUZZ_CHECK(text[lf - 1] == '\r');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Bench bench;
    auto& t = *bench.w.term;
    auto& tty = t.terminalWindow();
    auto& text = t.model.txtTerm.caption;
    FuzzInput in(data, size);
    const bool echo = in.byte() & 1;
    t.settings.echo = echo;
    text.clear();
    tty.selStart = tty.selLength = 0;
    bench.w.rt.runFor(0.05);
    // What grows across inputs (bounded, but growing) makes every run look like a leak and
    // cost a full leak scan.
    bench.w.port.written.clear();
    bench.w.bus.forgetHistory();
    tty.line().transcript.clear();
    std::string expected;

    while (!in.empty()) {
        switch (in.byte() % 4) {
        case 0: {
            char32_t code = in.byte();
            if (code == 0xff && (in.byte() & 1))
                code = 0x20ac; // beyond one byte: taken, not sent
            KVT_FUZZ_CHECK(tty.txtTerm_KeyPress(code));
            if (code <= 0xff)
                expected += static_cast<char>(code);
            checkText(tty, text, echo);
            break;
        }
        case 1: {
            const std::string_view piece = in.piece(32);
            std::u32string pasted(piece.begin(), piece.end());
            for (char32_t& c : pasted)
                c &= 0xff;
            KVT_FUZZ_CHECK(tty.paste(pasted));
            for (std::size_t i = 0; i < piece.size(); ++i) {
                char c = piece[i];
                if (c == '\r' && i + 1 < piece.size() && piece[i + 1] == '\n')
                    ++i;
                expected += c == '\n' ? '\r' : c;
            }
            checkText(tty, text, echo);
            break;
        }
        case 2:
            tty.display(std::string(in.piece(255)));
            checkText(tty, text, echo);
            break;
        default:
            bench.w.rt.runFor(0.001 * in.byte());
            break;
        }
    }
    // Bytes held behind an exchange go out once it ends; none is lost, doubled or reordered.
    bench.w.rt.runFor(0.5);
    KVT_FUZZ_CHECK(tty.waiting().empty());
    std::string sent;
    for (const std::string& piece : bench.w.port.written)
        sent += piece;
    KVT_FUZZ_CHECK(sent == expected);
    checkText(tty, text, echo);
    return 0;
}
