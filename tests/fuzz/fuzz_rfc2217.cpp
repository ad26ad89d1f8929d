// Bytes from a serial device server: however the stream is cut into reads, the codec gives the
// same data, the same answers and the same state; data never grows, answers stay bounded.
#include "FuzzInput.h"
#include "platform/Rfc2217Codec.h"

using kvt::fuzz::FuzzInput;
using kvt::platform::Rfc2217Codec;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const bool started = in.byte() & 1;
    const std::string stream(in.rest());

    Rfc2217Codec whole;
    Rfc2217Codec pieces;
    if (started) {
        whole.start();
        pieces.start();
    }
    const std::string wholeData = whole.feed(stream);
    const std::string wholeReplies = whole.takeReplies();
    KVT_FUZZ_CHECK(wholeData.size() <= stream.size());
    // Each byte in causes at most one three-byte answer.
    KVT_FUZZ_CHECK(wholeReplies.size() <= 3 * stream.size() + 64);

    std::string pieceData;
    std::string pieceReplies;
    FuzzInput cuts(data, size); // the same bytes decide where the reads end
    cuts.byte();
    std::size_t at = 0;
    while (at < stream.size()) {
        std::size_t n = 1 + cuts.byte() % 16;
        n = std::min(n, stream.size() - at);
        pieceData += pieces.feed(std::string_view(stream).substr(at, n));
        pieceReplies += pieces.takeReplies();
        at += n;
    }
    KVT_FUZZ_CHECK(pieceData == wholeData);
    KVT_FUZZ_CHECK(pieceReplies == wholeReplies);
    KVT_FUZZ_CHECK(pieces.comPortState() == whole.comPortState());
    KVT_FUZZ_CHECK(pieces.confirmedBaud() == whole.confirmedBaud());
    KVT_FUZZ_CHECK(pieces.lineStateNotices() == whole.lineStateNotices());
    KVT_FUZZ_CHECK(pieces.modemStateNotices() == whole.modemStateNotices());

    return 0;
}
