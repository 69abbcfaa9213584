#include "records/content_hash.h"

#include "data/failure.h"

#include <openssl/evp.h>
#include <system_error>

namespace {

Failure hashFailure() {
    return Failure(QStringLiteral("The SHA-256 of an attachment cannot be computed (the system's "
                                  "cryptographic library refused it); nothing was written."));
}

} // namespace

ContentHash::ContentHash() : m_context(EVP_MD_CTX_new()) {
    if (!m_context || EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(m_context);
        throw hashFailure();
    }
}

ContentHash::~ContentHash() {
    // The helper reads the context and the caller's bytes: it ends before either goes.
    if (m_helper.joinable()) {
        wait();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_helper.join();
    }
    EVP_MD_CTX_free(m_context);
}

void ContentHash::update(const char* data, qint64 size) {
    if (EVP_DigestUpdate(m_context, data, size_t(size)) != 1)
        m_failed = true;
}

void ContentHash::help() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || (m_data && !m_begun); });
        if (m_stop)
            return;
        m_begun = true;
        const char* data = m_data;
        const qint64 size = m_size;
        lock.unlock();
        update(data, size);
        lock.lock();
        m_data = nullptr;
        m_changed.notify_all();
    }
}

void ContentHash::add(const char* data, qint64 size) {
    wait();
    if (size < kHelpedSize) {
        update(data, size);
        return;
    }
    if (!m_helper.joinable()) {
        try {
            m_helper = std::thread([this] { help(); });
        } catch (const std::system_error&) {
            // No thread to be had: every piece is hashed here.
            update(data, size);
            return;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_data = data;
        m_size = size;
        m_begun = false;
    }
    m_changed.notify_all();
}

void ContentHash::wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_data)
        return;
    if (!m_begun) {
        // Not begun yet: hashed here instead, and the helper finds nothing to do.
        const char* data = m_data;
        const qint64 size = m_size;
        m_data = nullptr;
        lock.unlock();
        update(data, size);
        return;
    }
    m_changed.wait(lock, [this] { return m_data == nullptr; });
}

QString ContentHash::hex() {
    wait();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (m_failed || EVP_DigestFinal_ex(m_context, digest, &length) != 1)
        throw hashFailure();
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char*>(digest), int(length)).toHex());
}
