// Received bytes in arbitrary pieces make the same lines as the reply reader promises: a line feed
// anywhere completes the line, CR (and '>' on RS-232) never reach it, and a line without end never
// grows past its limit.
#include "FuzzInput.h"
#include "link/ReplyAssembler.h"

using kvt::fuzz::FuzzInput;
using kvt::link::ReplyAssembler;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const bool rs232 = in.byte() & 1;
    ReplyAssembler assembler;
    std::string expected; // the pending text by the rules, for comparison
    while (!in.empty()) {
        const std::string_view chunk = in.piece(200);
        bool lineFeed = false;
        for (char c : chunk) {
            if (c == '\n')
                lineFeed = true;
            else if (c != '\r' && !(rs232 && c == '>'))
                expected += c;
        }
        if (expected.size() > ReplyAssembler::kMaxPendingLine)
            expected.erase(0, expected.size() - ReplyAssembler::kMaxPendingLine);

        const auto line = assembler.feed(chunk, rs232);
        KVT_FUZZ_CHECK(line.has_value() == lineFeed);
        KVT_FUZZ_CHECK(assembler.lineComplete() == lineFeed);
        KVT_FUZZ_CHECK(assembler.pending().size() <= ReplyAssembler::kMaxPendingLine);
        if (line) {
            KVT_FUZZ_CHECK(*line == expected);
            KVT_FUZZ_CHECK(line->find_first_of("\r\n") == std::string::npos);
            KVT_FUZZ_CHECK(!rs232 || line->find('>') == std::string::npos);
            KVT_FUZZ_CHECK(assembler.pending().empty());
            expected.clear();
        } else {
            KVT_FUZZ_CHECK(assembler.pending() == expected);
        }
    }
    return 0;
}
