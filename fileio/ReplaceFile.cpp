#include "fileio/ReplaceFile.h"

#include "fileio/OpenFile.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tesselbox {
namespace {

namespace fs = std::filesystem;

std::string Reason(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

// 0 when the user may write the existing file, else the reason (errno). Renaming over it would
// replace a file the user may not write, which opening it for writing would refuse.
int WriteRefusal(const fs::path& file) {
#ifdef _WIN32
    return _waccess(file.c_str(), 2) == 0 ? 0 : errno;
#else
    return access(file.c_str(), W_OK) == 0 ? 0 : errno;
#endif
}

bool SyncToDisk(std::FILE* file) {
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0 || errno == EINVAL;  // EINVAL: not syncable, e.g. a pipe
#endif
}

// Writes, flushes and closes; reports the first failure. The stream is closed in every case.
WriteOutcome WriteAndClose(std::FILE* file, const fs::path& shown,
                           const std::function<bool(std::FILE*)>& produce, bool sync) {
    // Big writes in few calls: a schematic of a large picture is tens of megabytes.
    std::vector<char> buffer(std::size_t{1} << 20);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
    errno = 0;
    bool good = produce(file) && std::ferror(file) == 0;
    int error = errno;
    if (good && std::fflush(file) != 0) {
        good = false;
        error = errno;
    }
    if (good && sync && !SyncToDisk(file)) {
        good = false;
        error = errno;
    }
    if (std::fclose(file) != 0 && good) {
        good = false;
        error = errno;
    }
    if (good) return {};
    return {WriteStatus::WriteFailed, "cannot write " + DisplayPath(shown) + ": " + Reason(error)};
}

fs::path TemporaryBeside(const fs::path& target) {
    static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device seed;
    std::minstd_rand random(seed());
    std::string suffix = ".tmp-";
    for (int i = 0; i < 8; ++i) suffix.push_back(digits[random() % 36]);
    fs::path name = target.filename();
    name += suffix;
    return target.parent_path() / name;
}

}  // namespace

WriteOutcome ReplaceFile(const fs::path& target, const std::function<bool(std::FILE*)>& produce) {
    std::error_code error;
    fs::path real = target;
    if (fs::is_symlink(target, error)) {
        const fs::path resolved = fs::canonical(target, error);  // replace the file the link names
        if (!error) real = resolved;
    }
    const fs::file_status status = fs::status(real, error);
    if (fs::is_directory(status)) {
        return {WriteStatus::OpenFailed, "cannot write " + DisplayPath(target) + ": it is a folder"};
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        std::FILE* file = OpenFile(real, "wb");
        if (!file) {
            return {WriteStatus::OpenFailed,
                    "cannot open " + DisplayPath(target) + " for writing: " + Reason(errno)};
        }
        return WriteAndClose(file, target, produce, false);
    }

    if (fs::exists(status)) {
        if (const int refusal = WriteRefusal(real)) {
            return {WriteStatus::OpenFailed,
                    "cannot open " + DisplayPath(target) + " for writing: " + Reason(refusal)};
        }
    }

    fs::path temporary;
    std::FILE* file = nullptr;
    int openError = 0;
    for (int attempt = 0; attempt < 16 && !file; ++attempt) {
        temporary = TemporaryBeside(real);
#ifdef _WIN32
        if (fs::exists(temporary, error)) continue;
        file = OpenFile(temporary, "wb");
#else
        file = OpenFile(temporary, "wbx");
#endif
        openError = errno;
        if (!file && openError != EEXIST) break;
    }
    if (!file) {
        return {WriteStatus::OpenFailed,
                "cannot open " + DisplayPath(target) + " for writing: " + Reason(openError)};
    }
    WriteOutcome outcome = WriteAndClose(file, target, produce, true);
    if (outcome.ok() && fs::exists(status)) {
        fs::permissions(temporary, status.permissions(), error);  // keep the old file's mode
    }
    if (outcome.ok()) {
        fs::rename(temporary, real, error);
        if (error) {
            outcome = {WriteStatus::WriteFailed,
                       "cannot replace " + DisplayPath(target) + ": " + error.message()};
        }
    }
    if (!outcome.ok()) fs::remove(temporary, error);
    return outcome;
}

}  // namespace tesselbox
