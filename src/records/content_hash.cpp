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
    // The thread reads the context and the caller's bytes: it ends before either goes.
    if (m_running.valid())
        m_running.wait();
    EVP_MD_CTX_free(m_context);
}

void ContentHash::add(const char* data, qint64 size) {
    wait();
    if (size < kThreadedSize) {
        m_failed = m_failed || EVP_DigestUpdate(m_context, data, size_t(size)) != 1;
        return;
    }
    EVP_MD_CTX* context = m_context;
    try {
        m_running = std::async(std::launch::async, [context, data, size] {
            return EVP_DigestUpdate(context, data, size_t(size)) == 1;
        });
    } catch (const std::system_error&) {
        // No thread to be had: the piece is hashed here instead.
        m_failed = m_failed || EVP_DigestUpdate(m_context, data, size_t(size)) != 1;
    }
}

void ContentHash::wait() {
    if (m_running.valid())
        m_failed = !m_running.get() || m_failed;
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
