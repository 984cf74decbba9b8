// Writing a file the user owns without ever losing it: the new content goes to a temporary file in
// the same folder and is renamed over the target only once every write, the flush and the close
// have succeeded. Devices and pipes (/dev/stdout) are written in place, never renamed over.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace tesselbox {

enum class WriteStatus { Ok, OpenFailed, WriteFailed };

struct WriteOutcome {
    WriteStatus status = WriteStatus::Ok;
    std::string message;  // English, names the path and the reason; empty when Ok
    bool ok() const { return status == WriteStatus::Ok; }
};

// produce writes the whole content into the stream and returns false if any write failed.
WriteOutcome ReplaceFile(const std::filesystem::path& target,
                         const std::function<bool(std::FILE*)>& produce);

// From now on SIGINT and SIGTERM (unless ignored) remove the temporary files being written and
// then end the process by the signal as they would have. POSIX only: nothing on Windows.
void RemoveTemporariesOnInterrupt();

}  // namespace tesselbox
