#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3_stmt;

// The bytes of a compact backup: a short header that is not compressed (a mark that names the
// kind of file, and the size of the database it restores to), then one zstd frame with its
// checksum that holds the records. Neither side ever holds more than a buffer of the stream.
namespace Backups::CompactStream {

// The first bytes of every compact backup.
constexpr char kMark[] = "Quorvane backup\n";
constexpr int kMarkSize = 16;
constexpr int kHeaderSize = kMarkSize + 8;

// Whether the file `path` begins as a compact backup does.
bool isCompact(const QString& path);

// Writes the header and then compresses what is put into it, into the open file `fd`.
class Writer {
public:
    Writer(int fd, const QString& path, qint64 restoredSize);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void putByte(uint8_t byte);
    void putNumber(uint64_t number); // seven bits a byte
    void putText(const QString& text);
    // A value of the engine's column `column` in the row `statement` stands on.
    void putColumn(sqlite3_stmt* statement, int column);
    // Ends the frame and writes what is left; fails with the system's cause.
    void finish();

private:
    void put(const void* bytes, size_t size);
    void compress(bool last);
    void write(const char* bytes, size_t size);

    struct Engine;
    std::unique_ptr<Engine> m_engine;
    int m_fd;
    QString m_path;
    std::string m_in;
    std::vector<char> m_out;
};

// Reads a compact backup back; anything that does not decompress, or ends early, fails as
// damage of the file.
class Reader {
public:
    explicit Reader(const QString& path);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    qint64 restoredSize() const { return m_restoredSize; }
    uint8_t byte();
    uint64_t number();
    QString text();
    QByteArray bytes();
    // Reads one value as putColumn wrote it and binds it to parameter `parameter`.
    void bindValue(sqlite3_stmt* statement, int parameter);
    // Reads past one value.
    void skipValue();
    // Fails unless the frame ends here, its checksum matching, with nothing after it.
    void expectEnd();
    // A failure that names the file as damaged, for `why`.
    [[noreturn]] void damaged(const QString& why) const;

private:
    void take(void* into, size_t size);
    bool fill();

    struct Engine;
    std::unique_ptr<Engine> m_engine;
    QString m_path;
    int m_fd = -1;
    qint64 m_restoredSize = 0;
    std::vector<char> m_in;
    size_t m_inPosition = 0;
    size_t m_inSize = 0;
    bool m_fileEnded = false;
    size_t m_frameLeft = 1; // zstd's hint: 0 once the frame is complete
    std::vector<char> m_out;
    size_t m_outPosition = 0;
    size_t m_outSize = 0;
    std::string m_scratch;
};

} // namespace Backups::CompactStream
