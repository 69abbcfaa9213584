#pragma once

#include <QString>
#include <future>

struct evp_md_ctx_st;

// The SHA-256 of a content given a piece at a time, by the system's cryptographic library (which
// uses the processor's SHA instructions where there are some: several times faster than a
// portable implementation, so that hashing no longer sets the pace of adding a large file).
//
// A large piece is hashed on a thread of its own while the caller writes the same bytes
// elsewhere (both only read them): add() starts it and returns at once, and the bytes must stay
// unchanged until the next add(), wait() or hex(). A small piece is hashed at once, since starting
// a thread would cost more than the hashing.
class ContentHash {
public:
    ContentHash();
    ~ContentHash();
    ContentHash(const ContentHash&) = delete;
    ContentHash& operator=(const ContentHash&) = delete;

    void add(const char* data, qint64 size);
    // Waits for the piece being hashed, if any.
    void wait();
    // The hash of everything added, as 64 lower-case hexadecimal digits.
    QString hex();

    // Pieces from this size up are hashed on a thread of their own.
    static constexpr qint64 kThreadedSize = 256 * 1024;

private:
    evp_md_ctx_st* m_context = nullptr;
    std::future<bool> m_running;
    bool m_failed = false;
};
