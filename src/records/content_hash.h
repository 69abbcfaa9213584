#pragma once

#include <QString>
#include <condition_variable>
#include <mutex>
#include <thread>

struct evp_md_ctx_st;

// The SHA-256 of a content given a piece at a time, by the system's cryptographic library (which
// uses the processor's SHA instructions where there are some: several times faster than a
// portable implementation, so that hashing no longer sets the pace of adding a large file).
//
// A large piece is handed to a helper thread, to be hashed while the caller writes the same bytes
// elsewhere (both only read them): add() returns at once, and the bytes must stay unchanged
// until the next add(), wait() or hex(). When the caller comes to wait and the helper has not
// begun the piece (on a busy machine it may not have had a processor yet), the caller hashes it
// itself, so that the helper never makes the whole slower than hashing in turn. A small piece is
// hashed at once.
class ContentHash {
public:
    ContentHash();
    ~ContentHash();
    ContentHash(const ContentHash&) = delete;
    ContentHash& operator=(const ContentHash&) = delete;

    void add(const char* data, qint64 size);
    // Until the piece handed over is hashed.
    void wait();
    // The hash of everything added, as 64 lower-case hexadecimal digits; called once, at the end.
    QString hex();

    // Pieces from this size up are handed to the helper.
    static constexpr qint64 kHelpedSize = 256 * 1024;

private:
    void update(const char* data, qint64 size);
    void help();

    evp_md_ctx_st* m_context = nullptr;
    bool m_failed = false;

    // The piece handed over (null when none), and whether the helper has begun it.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const char* m_data = nullptr;
    qint64 m_size = 0;
    bool m_begun = false;
    bool m_stop = false;
    std::thread m_helper;
};
