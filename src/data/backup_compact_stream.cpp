#include "data/backup_compact_stream.h"

#include "data/failure.h"
#include "data/private_files.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>
#include <zstd.h>

namespace Backups::CompactStream {
namespace {

// What is gathered before it is handed to the compressor.
constexpr size_t kInputBuffer = size_t(1) << 20;
// One of zstd's fast levels, below its default fastest: it compresses about half as fast
// again and decompresses twice as fast as level 1, for a backup about an eighth larger (a sixth
// of the rows' size still, far under a fifth of the database's).
constexpr int kLevel = -1;

enum ValueType : uint8_t { kNull = 0, kInteger = 1, kReal = 2, kText = 3, kBlob = 4 };

uint64_t zigzag(int64_t value) {
    return (uint64_t(value) << 1) ^ uint64_t(value >> 63);
}

int64_t unzigzag(uint64_t value) {
    return int64_t(value >> 1) ^ -int64_t(value & 1);
}

} // namespace

bool isCompact(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(kMarkSize) == QByteArray(kMark, kMarkSize);
}

struct Writer::Engine {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ~Engine() { ZSTD_freeCCtx(context); }
};

Writer::Writer(int fd, const QString& path, qint64 restoredSize)
    : m_engine(std::make_unique<Engine>()), m_fd(fd), m_path(path), m_out(ZSTD_CStreamOutSize()) {
    if (!m_engine->context)
        throw Failure(QStringLiteral("Out of memory"));
    ZSTD_CCtx_setParameter(m_engine->context, ZSTD_c_compressionLevel, kLevel);
    ZSTD_CCtx_setParameter(m_engine->context, ZSTD_c_checksumFlag, 1);
    // A second thread compresses while this one reads the rows (refused where the library was
    // built without threads: then this one does both).
    ZSTD_CCtx_setParameter(m_engine->context, ZSTD_c_nbWorkers, 1);
    m_in.reserve(kInputBuffer);
    char header[kHeaderSize];
    std::memcpy(header, kMark, kMarkSize);
    for (int i = 0; i < 8; ++i)
        header[kMarkSize + i] = char(uint64_t(restoredSize) >> (8 * i) & 0xff);
    write(header, sizeof header);
}

Writer::~Writer() = default;

void Writer::put(const void* bytes, size_t size) {
    m_in.append(static_cast<const char*>(bytes), size);
    if (m_in.size() >= kInputBuffer)
        compress(false);
}

void Writer::putByte(uint8_t byte) {
    m_in.push_back(char(byte));
    if (m_in.size() >= kInputBuffer)
        compress(false);
}

void Writer::putNumber(uint64_t number) {
    char bytes[10];
    size_t size = 0;
    do {
        const uint8_t low = number & 0x7f;
        number >>= 7;
        bytes[size++] = char(number ? low | 0x80 : low);
    } while (number);
    put(bytes, size);
}

void Writer::putText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    putNumber(uint64_t(utf8.size()));
    put(utf8.constData(), size_t(utf8.size()));
}

void Writer::putColumn(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        putByte(kInteger);
        putNumber(zigzag(sqlite3_column_int64(statement, column)));
        return;
    case SQLITE_FLOAT: {
        putByte(kReal);
        const double value = sqlite3_column_double(statement, column);
        put(&value, sizeof value);
        return;
    }
    case SQLITE_TEXT: {
        putByte(kText);
        const auto* text = sqlite3_column_text(statement, column);
        const int size = sqlite3_column_bytes(statement, column);
        putNumber(uint64_t(size));
        put(text, size_t(size));
        return;
    }
    case SQLITE_BLOB: {
        putByte(kBlob);
        const void* blob = sqlite3_column_blob(statement, column);
        const int size = sqlite3_column_bytes(statement, column);
        putNumber(uint64_t(size));
        put(blob, size_t(size));
        return;
    }
    default:
        putByte(kNull);
    }
}

void Writer::compress(bool last) {
    ZSTD_inBuffer in{m_in.data(), m_in.size(), 0};
    for (;;) {
        ZSTD_outBuffer out{m_out.data(), m_out.size(), 0};
        const size_t left =
            ZSTD_compressStream2(m_engine->context, &out, &in, last ? ZSTD_e_end : ZSTD_e_continue);
        if (ZSTD_isError(left))
            throw Failure(SentenceWithCause(
                QStringLiteral("The backup '%1' cannot be compressed").arg(m_path),
                QString::fromLatin1(ZSTD_getErrorName(left))));
        write(m_out.data(), out.pos);
        if (last ? left == 0 : in.pos == in.size)
            break;
    }
    m_in.clear();
}

void Writer::finish() {
    compress(true);
}

void Writer::write(const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw Failure(
                SentenceWithCause(QStringLiteral("The backup '%1' cannot be written").arg(m_path),
                                  PrivateFiles::systemCause()));
        bytes += written;
        size -= size_t(written);
    }
}

struct Reader::Engine {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    ~Engine() { ZSTD_freeDCtx(context); }
};

Reader::Reader(const QString& path)
    : m_engine(std::make_unique<Engine>()), m_path(path), m_in(ZSTD_DStreamInSize()),
      m_out(ZSTD_DStreamOutSize()) {
    if (!m_engine->context)
        throw Failure(QStringLiteral("Out of memory"));
    if (const QString why = PrivateFiles::notAFile(path); !why.isEmpty())
        throw Failure(why);
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        throw Failure(SentenceWithCause(QStringLiteral("The backup '%1' cannot be read").arg(path),
                                        PrivateFiles::systemCause()));
    char header[kHeaderSize];
    size_t got = 0;
    while (got < sizeof header) {
        const ssize_t n = ::read(m_fd, header + got, sizeof header - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    if (got < sizeof header || std::memcmp(header, kMark, kMarkSize) != 0)
        damaged(QStringLiteral("it does not begin as a backup of this program does"));
    for (int i = 0; i < 8; ++i)
        m_restoredSize |= qint64(uint64_t(uint8_t(header[kMarkSize + i])) << (8 * i));
}

Reader::~Reader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void Reader::damaged(const QString& why) const {
    throw Failure(QStringLiteral("The file '%1' is damaged (%2).").arg(m_path, why));
}

bool Reader::fill() {
    m_outPosition = 0;
    m_outSize = 0;
    while (m_frameLeft != 0) {
        if (m_inPosition == m_inSize && !m_fileEnded) {
            ssize_t n = 0;
            do
                n = ::read(m_fd, m_in.data(), m_in.size());
            while (n < 0 && errno == EINTR);
            if (n < 0)
                throw Failure(
                    SentenceWithCause(QStringLiteral("The backup '%1' cannot be read").arg(m_path),
                                      PrivateFiles::systemCause()));
            m_inPosition = 0;
            m_inSize = size_t(n);
            m_fileEnded = n == 0;
        }
        ZSTD_inBuffer in{m_in.data(), m_inSize, m_inPosition};
        ZSTD_outBuffer out{m_out.data(), m_out.size(), 0};
        const size_t hint = ZSTD_decompressStream(m_engine->context, &out, &in);
        if (ZSTD_isError(hint))
            damaged(QStringLiteral("it does not decompress: %1")
                        .arg(QString::fromLatin1(ZSTD_getErrorName(hint))));
        m_inPosition = in.pos;
        m_frameLeft = hint;
        m_outSize = out.pos;
        if (m_outSize > 0)
            return true;
        if (m_fileEnded && m_inPosition == m_inSize && m_frameLeft != 0)
            damaged(QStringLiteral("it ends before its last record"));
    }
    return false;
}

void Reader::take(void* into, size_t size) {
    auto* bytes = static_cast<char*>(into);
    while (size > 0) {
        if (m_outPosition == m_outSize && !fill())
            damaged(QStringLiteral("it ends before its last record"));
        const size_t part = std::min(size, m_outSize - m_outPosition);
        std::memcpy(bytes, m_out.data() + m_outPosition, part);
        m_outPosition += part;
        bytes += part;
        size -= part;
    }
}

uint8_t Reader::byte() {
    if (m_outPosition < m_outSize)
        return uint8_t(m_out[m_outPosition++]);
    uint8_t value = 0;
    take(&value, 1);
    return value;
}

uint64_t Reader::number() {
    uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        const uint8_t part = byte();
        value |= uint64_t(part & 0x7f) << shift;
        if (!(part & 0x80))
            return value;
    }
    damaged(QStringLiteral("a number in it is too long"));
}

QByteArray Reader::bytes() {
    const uint64_t size = number();
    // No record of the program comes near this; a larger one is damage, not memory to take.
    if (size > uint64_t(1) << 30)
        damaged(QStringLiteral("a value in it is too long"));
    QByteArray value(qsizetype(size), Qt::Uninitialized);
    take(value.data(), size_t(size));
    return value;
}

QString Reader::text() {
    return QString::fromUtf8(bytes());
}

void Reader::bindValue(sqlite3_stmt* statement, int parameter) {
    const uint8_t type = byte();
    switch (type) {
    case kNull:
        sqlite3_bind_null(statement, parameter);
        return;
    case kInteger:
        sqlite3_bind_int64(statement, parameter, unzigzag(number()));
        return;
    case kReal: {
        double value = 0;
        take(&value, sizeof value);
        sqlite3_bind_double(statement, parameter, value);
        return;
    }
    case kText:
    case kBlob: {
        const uint64_t size = number();
        if (size > uint64_t(1) << 30)
            damaged(QStringLiteral("a value in it is too long"));
        // The engine copies a value bound as transient at once: one that lies whole in the
        // buffer is bound from there.
        const char* bytes = m_out.data() + m_outPosition;
        if (size <= m_outSize - m_outPosition) {
            m_outPosition += size_t(size);
        } else {
            m_scratch.resize(size_t(size));
            take(m_scratch.data(), m_scratch.size());
            bytes = m_scratch.data();
        }
        if (type == kText)
            sqlite3_bind_text64(statement, parameter, bytes, size, SQLITE_TRANSIENT, SQLITE_UTF8);
        else
            sqlite3_bind_blob64(statement, parameter, bytes, size, SQLITE_TRANSIENT);
        return;
    }
    default:
        damaged(QStringLiteral("a value in it is of no known kind"));
    }
}

void Reader::skipValue() {
    switch (byte()) {
    case kNull:
        return;
    case kInteger:
        number();
        return;
    case kReal: {
        double value = 0;
        take(&value, sizeof value);
        return;
    }
    case kText:
    case kBlob:
        bytes();
        return;
    default:
        damaged(QStringLiteral("a value in it is of no known kind"));
    }
}

void Reader::expectEnd() {
    if (m_outPosition != m_outSize || fill())
        damaged(QStringLiteral("it goes on after its last record"));
    if (m_inPosition != m_inSize)
        damaged(QStringLiteral("it goes on after its last record"));
    char extra = 0;
    ssize_t n = 0;
    do
        n = ::read(m_fd, &extra, 1);
    while (n < 0 && errno == EINTR);
    if (n != 0)
        damaged(QStringLiteral("it goes on after its last record"));
}

} // namespace Backups::CompactStream
