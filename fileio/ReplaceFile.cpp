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
#include <atomic>
#include <csignal>
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

// The longest file name the target's folder takes; 255 where it cannot say (bytes on Linux,
// UTF-16 units on Windows).
std::size_t LongestName(const fs::path& folder) {
#ifndef _WIN32
    const long longest = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (longest > 0) return static_cast<std::size_t>(longest);
#else
    (void)folder;
#endif
    return 255;
}

// A unit that continues a character (a UTF-8 continuation byte, a low surrogate): no cut before it.
[[maybe_unused]] bool ContinuesACharacter(char unit) { return (static_cast<unsigned char>(unit) & 0xC0) == 0x80; }
[[maybe_unused]] bool ContinuesACharacter(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// NAME.tmp-XXXXXXXX, with NAME cut at a character boundary where the whole would not fit the folder.
fs::path TemporaryBeside(const fs::path& target) {
    static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device seed;
    std::minstd_rand random(seed());
    std::string suffix = ".tmp-";
    for (int i = 0; i < 8; ++i) suffix.push_back(digits[random() % 36]);
    fs::path::string_type name = target.filename().native();
    const std::size_t longest = LongestName(target.parent_path());
    // The first cut units of the name, and the suffix: whether they fit. On Windows in UTF-8 too,
    // which is what a folder shared with Linux (Wine, a Samba share) counts.
    const auto fits = [&](std::size_t cut) {
        bool fit = cut + suffix.size() <= longest;
#ifdef _WIN32
        fit = fit && fs::path(name.substr(0, cut)).u8string().size() + suffix.size() <= longest;
#endif
        return fit;
    };
    std::size_t cut = name.size();
    while (cut > 1 && (!fits(cut) || (cut < name.size() && ContinuesACharacter(name[cut])))) --cut;
    name.resize(cut);
    name.append(suffix.begin(), suffix.end());
    return target.parent_path() / name;
}

#ifndef _WIN32
// The temporaries being written, in fixed memory that a signal handler may read: a slot is free
// (0), being filled (1) or names a live temporary (2).
struct LiveTemporary {
    std::atomic<int> state{0};
    char path[4096];
};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");
LiveTemporary liveTemporaries[64];

// Holds a temporary's slot while it lives; a path that does not fit, or no free slot, goes unheld.
class HeldTemporary {
public:
    explicit HeldTemporary(const fs::path& temporary) {
        const std::string& path = temporary.native();
        if (path.size() >= sizeof(LiveTemporary::path)) return;
        for (LiveTemporary& slot : liveTemporaries) {
            int expected = 0;
            if (!slot.state.compare_exchange_strong(expected, 1)) continue;
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(2);
            slot_ = &slot;
            return;
        }
    }
    ~HeldTemporary() {
        if (slot_ != nullptr) slot_->state.store(0);
    }
    HeldTemporary(const HeldTemporary&) = delete;
    HeldTemporary& operator=(const HeldTemporary&) = delete;

private:
    LiveTemporary* slot_ = nullptr;
};

extern "C" void RemoveTemporariesAndDie(int signal) {
    for (LiveTemporary& slot : liveTemporaries) {
        if (slot.state.load() == 2) unlink(slot.path);
    }
    // The handler was reset to the default on entry; the signal is delivered once this returns.
    raise(signal);
}
#else
struct HeldTemporary {
    explicit HeldTemporary(const fs::path&) {}
};
#endif

}  // namespace

void RemoveTemporariesOnInterrupt() {
#ifndef _WIN32
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
        action = {};
        action.sa_handler = RemoveTemporariesAndDie;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
#endif
}

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
    const HeldTemporary held(temporary);
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
