// The mail import's reading: any bytes, as one message or as an mbox, are read into messages or
// refused with a description, never more than the limits allow; every message read has the
// message itself as its last file, and no stored text holds a NUL character.
#include "data/failure.h"
#include "fuzz_check.h"
#include "records/mail_message.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void checkRead(const QByteArray& bytes) {
    std::vector<MailMessage> messages;
    try {
        messages = MailMessages::Read(bytes, QStringLiteral("fuzzed.eml"),
                                      [](const QString& html) { return html; });
    } catch (const Failure& failure) {
        // Refused: said, with the message named.
        check(failure.description().contains(QLatin1String("fuzzed.eml")));
        check(failure.description().contains(QLatin1String("nothing was imported")));
        return;
    }
    check(!messages.empty());
    for (const MailMessage& message : messages) {
        check(!message.files.empty());
        check(message.files.back().name == QLatin1String("message.eml"));
        check(int(message.files.size()) <= MailMessages::kMaxParts + 1);
        for (const QString* text :
             {&message.subject, &message.senderName, &message.senderAddress, &message.text})
            check(!text->contains(QChar(0)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    checkRead(bytes);
    // The same bytes as the second message of an mbox.
    checkRead("From a@example.com Tue Dec  1 10:30:00 2026\nSubject: first\n\nx\n\n"
              "From b@example.com Tue Dec  1 10:31:00 2026\n" +
              bytes);
    return 0;
}
