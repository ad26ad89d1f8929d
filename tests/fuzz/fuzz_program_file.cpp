// Set-point program files: whatever a file gives either saves and reads back as the same twelve
// rows, or is refused by name before the save.
#include "FuzzInput.h"
#include "monitor/SetPointProgram.h"

using namespace kvt::monitor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SetPointProgram program = parseProgramText(text);
    const auto refused = unsavableText(program);
    if (refused) {
        KVT_FUZZ_CHECK(refused->rfind("Step ", 0) == 0);
        return 0;
    }
    const std::string written = programFileText(program);
    std::size_t lines = 0;
    for (std::size_t at = written.find("\r\n"); at != std::string::npos;
         at = written.find("\r\n", at + 2))
        ++lines;
    KVT_FUZZ_CHECK(lines == SetPointProgram::kRows);
    KVT_FUZZ_CHECK(written.size() >= 2 && written.compare(written.size() - 2, 2, "\r\n") == 0);
    KVT_FUZZ_CHECK(parseProgramText(written) == program);
    return 0;
}
