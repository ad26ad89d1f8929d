#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvt::platform {

// Replaces the file at `path` with `bytes` so that a crash or a full disk never leaves a half
// file: the bytes go to a new file in the same folder, which is flushed to disk and then renamed
// over `path`. A symbolic link is followed, so its target is replaced. An existing file keeps its
// permission bits. Returns "" on success; otherwise the old file is untouched, the temporary file
// is removed and the result is "Cannot write <path>: <host error text>".
//
// Temporary files of saves that were interrupted (named `path` + ".tmp" + 6 letters or digits, and
// held by no running save) are removed first.
std::string replaceFile(const std::string& path, std::string_view bytes);

// Removes the temporary files interrupted saves of `path` left behind; a save still running keeps
// its own. Failures are not reported: the files are only clutter.
void removeStaleTemporaries(const std::string& path);

// Reads the whole file into `out`. Returns "" on success. A file that does not exist is not an
// error: `missing` is set, `out` is empty and the result is "". Any other failure (permission, a
// folder, a file larger than `maxBytes`) gives "Cannot read <path>: <host error text>".
std::string readFile(const std::string& path, std::string& out, bool& missing,
                     std::size_t maxBytes = std::size_t{64} << 20);

} // namespace kvt::platform
