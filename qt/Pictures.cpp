// Decoding with QImageReader and surfaces over calloc'ed memory wrapped by a QImage. The surface
// image is stored upside down (row 0 is the picture's bottom row), as the core expects.
#include "qt/Pictures.h"

#include "fileio/OpenFile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QtGlobal>
#include <QtEndian>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string_view>
#include <thread>

namespace tesselbox::platform {

struct SurfaceMemory {
    void* pixels = nullptr;  // calloc: zero, and cheap for big sizes
    QImage image;            // wraps pixels
    ~SurfaceMemory() { std::free(pixels); }
};

struct Picture {
    QImage image;  // premultiplied ARGB, or opaque RGB where decoded into the caller's memory
};

SurfaceMemory* CreateSurfaceMemory(std::uint32_t width, std::uint32_t height, Pixel** bits) {
    *bits = nullptr;
    if (width == 0 || height == 0) return nullptr;
    if (width > static_cast<std::uint32_t>(std::numeric_limits<int>::max() / 4) ||
        height > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) {
        return nullptr;
    }
    void* pixels = std::calloc(std::size_t{width} * height, sizeof(Pixel));
    if (pixels == nullptr) return nullptr;
    auto* memory = new SurfaceMemory;
    memory->pixels = pixels;
    memory->image = QImage(static_cast<uchar*>(pixels), static_cast<int>(width),
                           static_cast<int>(height), static_cast<qsizetype>(width) * 4,
                           QImage::Format_ARGB32_Premultiplied);
    *bits = static_cast<Pixel*>(pixels);
    return memory;
}

void ReleaseSurfaceMemory(SurfaceMemory* memory) { delete memory; }

const QImage& SurfaceImage(const SurfaceMemory& memory) { return memory.image; }

QImage SurfaceToImage(const SurfaceMemory& memory) { return memory.image.mirrored(false, true); }

namespace {

// Qt's own guard against huge allocations, set just above what the limit allows. It is one
// global that the readers read unlocked, so it is written only when it changes: pictures decoded
// on several threads with the same limit never write it concurrently with a read.
void SetAllocationLimitFor(std::uint64_t maxPixels) {
    static std::mutex mutex;
    const std::uint64_t megabytes = maxPixels * 4 / (std::uint64_t{1} << 20) + 64;
    const int limit = int(std::min<std::uint64_t>(megabytes, std::numeric_limits<int>::max()));
    std::lock_guard lock(mutex);
    if (QImageReader::allocationLimit() != limit) QImageReader::setAllocationLimit(limit);
}

// Whether the device's next bytes are a PNG's signature; the device is left where it was.
bool StartsAsPng(QIODevice& device) {
    static constexpr char signature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    char head[8];
    return device.peek(head, 8) == 8 && std::memcmp(head, signature, 8) == 0;
}

// libpng, as Qt sets it up, allocates what a chunk claims (up to 2 GiB) before reading it, so a
// few damaged bytes could claim gigabytes. No chunk of a readable PNG runs past the end of its
// file; the decoder would fail on such a file anyway, so it is refused before the allocation.
// Returns the offending chunk's claimed length, or 0. The device is left where it was.
quint32 PngChunkPastTheEnd(QIODevice& device) {
    if (device.isSequential() || !StartsAsPng(device)) return 0;
    const qint64 start = device.pos();
    const qint64 size = device.size();
    quint32 pastTheEnd = 0;
    for (qint64 at = start + 8; device.seek(at);) {
        uchar chunk[8];  // length, big-endian, then the type
        if (device.read(reinterpret_cast<char*>(chunk), 8) != 8) break;
        const quint32 length = qFromBigEndian<quint32>(chunk);
        const qint64 end = at + 12 + qint64(length);  // length, type, data, CRC
        if (end > size) {
            pastTheEnd = length;
            break;
        }
        if (std::memcmp(chunk + 4, "IEND", 4) == 0) break;
        at = end;
    }
    device.seek(start);
    return pastTheEnd;
}

// Qt's BMP reader takes pixel rows that the file does not hold from a buffer it never filled, so a
// cut-off BMP would decode differently each time. Such a file is refused instead: returns how many
// bytes its uncompressed pixels need beyond the end of the file, or 0. The last row may lack its
// padding. The device is left where it was.
qint64 BmpPixelsPastTheEnd(QIODevice& device) {
    uchar head[34];
    if (device.isSequential() || device.peek(reinterpret_cast<char*>(head), 34) != 34 ||
        head[0] != 'B' || head[1] != 'M') {
        return 0;
    }
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(head + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(head + at); };
    const qint64 offset = u32(10);
    const quint32 headerSize = u32(14);
    qint64 width = 0;
    qint64 height = 0;
    qint64 bits = 0;
    if (headerSize == 12) {
        width = u16(18);
        height = u16(20);
        bits = u16(24);
    } else {
        const quint32 compression = u32(30);
        if (compression != 0 && compression != 3 && compression != 6) return 0;  // RLE: any length
        width = std::abs(qint64(qint32(u32(18))));
        height = std::abs(qint64(qint32(u32(22))));
        bits = u16(28);
    }
    if (width == 0 || height == 0 || bits == 0 || bits > 32) return 0;  // the reader refuses these
    const qint64 rowBytes = (width * bits + 7) / 8;
    const qint64 stride = (width * bits + 31) / 32 * 4;
    // Width and height are below 2^31: a claim beyond 2^62 bytes is past the end of any file.
    constexpr qint64 HUGE_CLAIM = qint64{1} << 62;
    const qint64 rows = height - 1;
    const qint64 needed = rows > (HUGE_CLAIM - rowBytes) / stride
                              ? HUGE_CLAIM
                              : device.pos() + offset + stride * rows + rowBytes;
    return std::max<qint64>(0, needed - device.size());
}

// The same for a run-length coded BMP (RLE8, RLE4), whose reader fills what a cut-off file lacks
// from a buffer it never filled: true when the runs end with the file, before the end-of-bitmap
// mark and before the last row. The device is left where it was.
bool BmpRunsEndEarly(QIODevice& device) {
    uchar head[34];
    if (device.isSequential() || device.peek(reinterpret_cast<char*>(head), 34) != 34 ||
        head[0] != 'B' || head[1] != 'M' || qFromLittleEndian<quint32>(head + 14) < 40) {
        return false;
    }
    const quint32 compression = qFromLittleEndian<quint32>(head + 30);
    if (compression != 1 && compression != 2) return false;
    const bool four = compression == 2;
    const qint64 height = std::abs(qint64(qint32(qFromLittleEndian<quint32>(head + 22))));
    const qint64 start = device.pos();
    // Pixels said to start at or past the end are no runs at all. A file seeks there, a buffer
    // cannot, and Qt's reader then takes whatever follows the header: check it here, for both.
    const qint64 pixelsAt = start + qint64(qFromLittleEndian<quint32>(head + 10));
    QByteArray runs;
    if (pixelsAt < device.size() && device.seek(pixelsAt)) runs = device.readAll();
    device.seek(start);
    const auto* at = reinterpret_cast<const uchar*>(runs.constData());
    const uchar* const end = at + runs.size();
    qint64 row = 0;
    while (row < height) {
        if (end - at < 2) return true;
        const uchar count = at[0];
        const uchar code = at[1];
        at += 2;
        if (count > 0) continue;  // a run of count pixels
        if (code == 0) {
            ++row;  // end of line
        } else if (code == 1) {
            return false;  // end of bitmap
        } else if (code == 2) {
            if (end - at < 2) return true;
            row += at[1];  // delta: right, then up
            at += 2;
        } else {
            // code pixels as they are, padded to an even number of bytes
            const qint64 bytes = four ? (code + 1) / 2 : code;
            if (end - at < bytes + (bytes & 1)) return true;
            at += bytes + (bytes & 1);
        }
    }
    return false;
}

}  // namespace

namespace {

// The formats whose pixels read as premultiplied ARGB once an opaque one's alpha is taken as 255.
bool ShownAsTheyAre(QImage::Format format) {
    return format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB32;
}

// An all-zero image of that size and format for the reader to write into, which it does where the
// size and format fit: a damaged file whose pixels run out then leaves zeros, the same on every
// decode, instead of whatever the memory held. From calloc, which costs no pass of zeros for a large
// picture. Null where it cannot be made; the reader then makes its own.
QImage ZeroImage(QSize size, QImage::Format format) {
    if (!size.isValid() || size.isEmpty() || format == QImage::Format_Invalid) return {};
    const qsizetype bytesPerLine =
        (qsizetype{size.width()} * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    void* pixels = std::calloc(std::size_t(bytesPerLine) * std::size_t(size.height()), 1);
    if (pixels == nullptr) return {};
    return QImage(static_cast<uchar*>(pixels), size.width(), size.height(), bytesPerLine, format,
                  std::free, pixels);
}

// Whether the reader will write the pixels as they are to be shown, unturned, so that they can go
// straight into the caller's memory.
bool DecodesAsShown(QImageReader& reader, QSize size) {
    return size.isValid() && !size.isEmpty() && ShownAsTheyAre(reader.imageFormat()) &&
           reader.transformation() == QImageIOHandler::TransformationNone;
}

}  // namespace

namespace {

// What the decoders say while a picture of this thread is decoded, such as libpng's warning about a
// known incorrect sRGB profile, which many photos carry.
thread_local std::vector<std::string>* decoderNotes = nullptr;

// Qt's message handler is one for the process: the one it had before ours passes on what is not
// the decoders'. Decoder chatter outside a decode is harmless and dropped.
QtMessageHandler& PassedOn() {
    static QtMessageHandler handler = nullptr;
    return handler;
}

// What Qt says on every start in an ordinary session and no user can act on: without a login
// manager (a plain X server, ssh -X) there is no runtime folder, and Qt makes its own in /tmp.
bool IsToolkitChatter(QtMsgType type, const QString& text) {
    return type == QtWarningMsg && text.startsWith(u"QStandardPaths: XDG_RUNTIME_DIR not set");
}

void RouteMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (IsToolkitChatter(type, text)) return;
    if (type != QtFatalMsg && type != QtDebugMsg && decoderNotes != nullptr) {
        const std::string note = text.toStdString();
        if (std::find(decoderNotes->begin(), decoderNotes->end(), note) == decoderNotes->end()) {
            decoderNotes->push_back(note);
        }
        return;
    }
    const bool fromDecoder =
        context.category != nullptr && std::strncmp(context.category, "qt.gui.imageio", 14) == 0;
    if (fromDecoder && type != QtCriticalMsg && type != QtFatalMsg) return;
    if (PassedOn() != nullptr) {
        PassedOn()(type, context, text);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
    }
}

}  // namespace

void RouteQtMessages() {
    static std::once_flag installed;
    std::call_once(installed, [] { PassedOn() = qInstallMessageHandler(RouteMessages); });
}

namespace {

// Collects the decoders' messages on this thread while it lives.
class DecoderNotes {
public:
    DecoderNotes() : outer_(decoderNotes) {
        RouteQtMessages();
        decoderNotes = &notes_;
    }
    ~DecoderNotes() { decoderNotes = outer_; }
    DecoderNotes(const DecoderNotes&) = delete;
    DecoderNotes& operator=(const DecoderNotes&) = delete;
    std::vector<std::string> Take() {
        decoderNotes = outer_;
        return std::move(notes_);
    }

private:
    std::vector<std::string>* outer_;
    std::vector<std::string> notes_;
};

// libpng, as Qt sets it up, prints its errors itself ("libpng error: IHDR: CRC error") on standard
// error, where no message handler sees them. While a PNG is decoded, file descriptor 2 is a socket
// that keeps each write apart, read by a thread that passes everything on to the real standard
// error except libpng's messages, which go to the pictures being decoded then. One socket for the
// process, however many decode.
class LibpngErrors {
public:
    static LibpngErrors& Instance() {
        static LibpngErrors instance;
        return instance;
    }

    void Enter(std::vector<std::string>* lines) {
        std::lock_guard life(lifeMutex_);
        if (users_++ == 0) Start();
        std::lock_guard lock(mutex_);
        active_.push_back(lines);
    }

    void Leave(std::vector<std::string>* lines) {
        std::lock_guard life(lifeMutex_);
        {
            // What libpng wrote on this thread is in the socket: wait until the reader has read it
            // all, which it does under the lock.
            std::unique_lock lock(mutex_);
            drained_.wait(lock, [&] { return !reading_ || Unread() == 0; });
            active_.erase(std::find(active_.begin(), active_.end(), lines));
        }
        if (--users_ == 0) Stop();
    }

private:
    static constexpr std::string_view PREFIX = "libpng error: ";

    int Unread() const {
        int bytes = 0;
        return ioctl(readEnd_, FIONREAD, &bytes) == 0 ? bytes : 0;
    }

    void Start() {
        int ends[2];
        // Sequenced packets: every write arrives on its own, and closing the writer ends the reading.
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return;
        std::fflush(stderr);
        saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        const int readFlags = fcntl(ends[0], F_GETFL);
        if (saved_ < 0 || readFlags < 0 || fcntl(ends[0], F_SETFL, readFlags | O_NONBLOCK) != 0 ||
            shutdown(ends[0], SHUT_WR) != 0 || dup2(ends[1], STDERR_FILENO) < 0) {
            if (saved_ >= 0) close(saved_);
            close(ends[0]);
            close(ends[1]);
            return;
        }
        close(ends[1]);  // the socket's only writer is descriptor 2 now
        readEnd_ = ends[0];
        {
            std::lock_guard lock(mutex_);
            reading_ = true;
        }
        running_ = true;
        reader_ = std::thread([this] { Forward(); });
    }

    void Stop() {
        if (!running_) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);  // closes the socket's writer: the reader sees its end
        reader_.join();
        close(readEnd_);
        close(saved_);
        running_ = false;
    }

    void Forward() {
        std::vector<char> buffer(std::size_t{1} << 16);
        std::size_t lineEndsToDrop = 0;  // libpng writes its message, then its line end apart
        for (bool open = true; open;) {
            pollfd readable{readEnd_, POLLIN, 0};
            if (poll(&readable, 1, -1) < 0 && errno != EINTR) break;
            std::lock_guard lock(mutex_);
            for (;;) {
                // The socket does not block (O_NONBLOCK); the lock keeps Leave from seeing it drained
                // before what was read is taken.
                const ssize_t got = recv(readEnd_, buffer.data(), buffer.size(), 0);  // NOLINT(clang-analyzer-unix.BlockInCriticalSection)
                if (got < 0 && errno == EINTR) continue;
                if (got == 0 || (got < 0 && errno != EAGAIN)) open = false;
                if (got <= 0) break;
                const std::string_view text(buffer.data(), std::size_t(got));
                if (text.substr(0, PREFIX.size()) == PREFIX) {
                    const bool ended = text.back() == '\n';
                    Take(text.substr(PREFIX.size(), text.size() - PREFIX.size() - (ended ? 1 : 0)));
                    if (!ended) ++lineEndsToDrop;
                } else if (text == "\n" && lineEndsToDrop > 0) {
                    --lineEndsToDrop;  // one line end is as good as another
                } else {
                    PassOn(text);
                }
            }
            drained_.notify_all();
        }
        std::lock_guard lock(mutex_);
        reading_ = false;
        drained_.notify_all();
    }

    void Take(std::string_view text) {
        const std::string error(text);
        for (std::vector<std::string>* lines : active_) {
            if (std::find(lines->begin(), lines->end(), error) == lines->end()) lines->push_back(error);
        }
    }

    void PassOn(std::string_view text) const {
        while (!text.empty()) {
            const ssize_t put = write(saved_, text.data(), text.size());
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return;
            text.remove_prefix(std::size_t(put));
        }
    }

    std::mutex lifeMutex_;  // starting and stopping; held by Enter and Leave
    int users_ = 0;
    bool running_ = false;
    int saved_ = -1;
    int readEnd_ = -1;
    std::thread reader_;
    std::mutex mutex_;  // what the reader shares; held while it reads and sorts
    std::condition_variable drained_;
    std::vector<std::vector<std::string>*> active_;
    bool reading_ = false;
};

// Whether the picture services were started: only a front end catches libpng's errors, so that a
// crash report (of a fuzzer, say) written while a PNG is decoded goes straight to standard error.
std::atomic<bool> catchingLibpngErrors{false};

// Catches libpng's errors while it lives, if the services are started and the device holds a PNG.
class LibpngErrorCatch {
public:
    explicit LibpngErrorCatch(QIODevice& device) {
        if (!catchingLibpngErrors.load()) return;
        if (!StartsAsPng(device)) return;
        LibpngErrors::Instance().Enter(&errors_);
        entered_ = true;
    }
    ~LibpngErrorCatch() { Finish(); }
    LibpngErrorCatch(const LibpngErrorCatch&) = delete;
    LibpngErrorCatch& operator=(const LibpngErrorCatch&) = delete;
    // What libpng said; the catching ends.
    std::vector<std::string> Finish() {
        if (entered_) LibpngErrors::Instance().Leave(&errors_);
        entered_ = false;
        return std::move(errors_);
    }

private:
    std::vector<std::string> errors_;
    bool entered_ = false;
};

DecodedPicture DecodeFrom(QIODevice& device, std::uint64_t maxPixels, const PictureMemory& memoryFor,
                          const SizeCheck& checkSize) {
    if (const quint32 claimed = PngChunkPastTheEnd(device)) {
        return {nullptr, 0, 0, DecodeStatus::Unreadable,
                "the picture cannot be read: a PNG chunk claims " + std::to_string(claimed) +
                    " bytes, more than the file holds", {}};
    }
    if (const qint64 missing = BmpPixelsPastTheEnd(device)) {
        return {nullptr, 0, 0, DecodeStatus::Unreadable,
                "the picture cannot be read: its pixels end " + std::to_string(missing) +
                    " bytes before the BMP says", {}};
    }
    if (BmpRunsEndEarly(device)) {
        return {nullptr, 0, 0, DecodeStatus::Unreadable,
                "the picture cannot be read: its run-length coded pixels end before the BMP's last row", {}};
    }
    QImageReader reader(&device);
    reader.setAutoTransform(true);  // honour the stored orientation; no color conversion
    const QSize announced = reader.size();
    if (announced.isValid() &&
        std::uint64_t(announced.width()) * std::uint64_t(announced.height()) > maxPixels) {
        return {nullptr, std::uint32_t(announced.width()), std::uint32_t(announced.height()),
                DecodeStatus::TooLarge,
                "the picture is " + std::to_string(announced.width()) + " x " +
                    std::to_string(announced.height()) + " pixels; at most " +
                    std::to_string(maxPixels) + " pixels are allowed", {}};
    }
    if (announced.isValid() && checkSize) {
        if (auto refused = checkSize(std::uint32_t(announced.width()), std::uint32_t(announced.height()))) {
            return {nullptr, std::uint32_t(announced.width()), std::uint32_t(announced.height()),
                    DecodeStatus::TooLarge, std::move(*refused), {}};
        }
    }
    SetAllocationLimitFor(maxPixels);
    QImage image;
    bool read = false;
    Pixel* memory = memoryFor && DecodesAsShown(reader, announced)
                        ? memoryFor(std::uint32_t(announced.width()), std::uint32_t(announced.height()))
                        : nullptr;
    if (memory != nullptr) {
        // A reader writes into an image of the right size and format instead of making its own.
        const QImage::Format format = reader.imageFormat();
        const auto* at = reinterpret_cast<const uchar*>(memory);
        image = QImage(reinterpret_cast<uchar*>(memory), announced.width(), announced.height(),
                       qsizetype{announced.width()} * 4, format);
        read = reader.read(&image);
        if (read && image.constBits() == at && image.size() == announced &&
            image.format() == format) {
            return {new Picture{image}, std::uint32_t(announced.width()),
                    std::uint32_t(announced.height()), DecodeStatus::Ok, {}, {}};
        }
        if (image.constBits() == at) image = image.copy();  // keeps nothing in the caller's memory
    } else {
        image = ZeroImage(announced, reader.imageFormat());
        read = reader.read(&image);
    }
    if (!read || image.isNull()) {
        const std::string why = reader.errorString().toStdString();
        return {nullptr, 0, 0, DecodeStatus::Unreadable, "the picture cannot be read: " + why, {}};
    }
    if (std::uint64_t(image.width()) * std::uint64_t(image.height()) > maxPixels) {
        return {nullptr, std::uint32_t(image.width()), std::uint32_t(image.height()),
                DecodeStatus::TooLarge, "the picture has more than " + std::to_string(maxPixels) +
                                            " pixels", {}};
    }
    if (image.format() != QImage::Format_ARGB32_Premultiplied) {
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) {
            return {nullptr, 0, 0, DecodeStatus::TooLarge, "not enough memory for the picture", {}};
        }
    }
    const auto width = std::uint32_t(image.width());
    const auto height = std::uint32_t(image.height());
    return {new Picture{std::move(image)}, width, height, DecodeStatus::Ok, {}, {}};
}

}  // namespace

DecodedPicture DecodePictureFrom(QIODevice& device, std::uint64_t maxPixels,
                                 const PictureMemory& memoryFor, const SizeCheck& checkSize) {
    DecoderNotes notes;
    LibpngErrorCatch libpng(device);
    // The analyzer loses the picture in the returned struct; the caller owns it (DisposePicture).
    DecodedPicture decoded = DecodeFrom(device, maxPixels, memoryFor, checkSize);  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
    decoded.notes = notes.Take();
    const std::vector<std::string> errors = libpng.Finish();
    if (!errors.empty() && decoded.status == DecodeStatus::Unreadable) {
        decoded.message = "the picture cannot be read: " + errors.front();  // the decoder's own reason
    }
    // A decode that succeeded had no error: what was caught meanwhile was another picture's.
    return decoded;
}

void DisposePicture(Picture* picture) { delete picture; }

bool DrawPicture(const Picture& picture, SurfaceMemory& target, std::uint32_t width,
                 std::uint32_t height) {
    QImage& surface = target.image;
    if (surface.width() != int(width) || surface.height() != int(height)) return false;
    const QImage& source = picture.image;
    // Over the zero surface, source-over compositing is a plain copy of premultiplied pixels.
    // Shrinking averages the covered area (Qt's smooth scaler), never nearest neighbour.
    const QImage scaled =
        source.size() != surface.size()
            ? source.scaled(surface.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  .convertToFormat(QImage::Format_ARGB32_Premultiplied)
        : source.format() != QImage::Format_ARGB32_Premultiplied
            ? source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
            : source;
    if (scaled.isNull()) return false;
    const std::size_t rowBytes = std::size_t{width} * 4;
    for (std::uint32_t y = 0; y < height; ++y) {
        std::memcpy(surface.scanLine(int(height - 1 - y)), scaled.constScanLine(int(y)), rowBytes);
    }
    return true;
}

ShownPixels PicturePixels(const Picture& picture) {
    const QImage& image = picture.image;
    if (!ShownAsTheyAre(image.format()) || image.bytesPerLine() != qsizetype{image.width()} * 4) {
        return {};
    }
    return {reinterpret_cast<const Pixel*>(image.constBits()),
            image.format() == QImage::Format_RGB32};
}

DecodedPicture DecodePicture(const std::filesystem::path& path, std::uint64_t maxPixels,
                             const PictureMemory& memoryFor, const SizeCheck& checkSize) {
    // Opened by its bytes: a name that is not UTF-8 would not survive a trip through QString.
    std::string why;
    FileHandle opened(OpenFileToRead(path, why));
    QFile file;
    if (!opened || !file.open(opened.get(), QIODevice::ReadOnly)) {
        if (opened) why = file.errorString().toStdString();
        return {nullptr, 0, 0, DecodeStatus::Unreadable, "cannot open the file: " + why, {}};
    }
    // The analyzer loses the picture in the returned struct; the caller owns it (DisposePicture).
    return DecodePictureFrom(file, maxPixels, memoryFor, checkSize);  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
}

bool EncodePng(const SurfaceMemory& surface, std::vector<std::uint8_t>& png, std::string& error) {
    const QImage image = SurfaceToImage(surface);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (image.isNull() || !writer.write(image)) {
        error = image.isNull() ? "not enough memory" : writer.errorString().toStdString();
        return false;
    }
    png.assign(bytes.cbegin(), bytes.cend());
    return true;
}

void StartPictureServices() { catchingLibpngErrors.store(true); }
void StopPictureServices() { catchingLibpngErrors.store(false); }

}  // namespace tesselbox::platform
