#include "records/mail_message.h"

#include "data/failure.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <mutex>

// The MIME library's headers use "signals" as a name, which Qt defines as a keyword (unused
// here).
#undef signals
#include <gmime/gmime.h>

namespace {

// A GObject reference given back when it goes.
template <typename T> struct Owned {
    T* object = nullptr;
    explicit Owned(T* made) : object(made) {}
    ~Owned() {
        if (object)
            g_object_unref(object);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* operator->() const { return object; }
    T* get() const { return object; }
};

void startLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// What the parser found wrong that makes a message unfit to import whole.
struct Findings {
    bool truncated = false;
    bool tooDeep = false;
    bool hollow = false;
};

void noteWarning(gint64, GMimeParserWarning code, const gchar*, gpointer data) {
    auto* findings = static_cast<Findings*>(data);
    if (code == GMIME_WARN_TRUNCATED_MESSAGE)
        findings->truncated = true;
    else if (code == GMIME_CRIT_NESTING_OVERFLOW)
        findings->tooDeep = true;
    else if (code == GMIME_CRIT_PART_WITHOUT_HEADERS_OR_CONTENT)
        findings->hollow = true;
}

QByteArray written(GMimeObject* object) {
    Owned<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, stream.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), int(bytes->len));
}

QByteArray decodedContent(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return QByteArray();
    Owned<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), int(bytes->len));
}

QString textOf(GMimeTextPart* part) {
    gchar* text = g_mime_text_part_get_text(part);
    const QString decoded = QString::fromUtf8(text ? text : "");
    g_free(text);
    return decoded;
}

QString mimeTypeOf(GMimeObject* object) {
    gchar* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object));
    const QString name = QString::fromUtf8(type ? type : "application/octet-stream").toLower();
    g_free(type);
    return name;
}

// Walks the parts of one message: the first plain text that is no attachment is the text (else
// the first such HTML, turned into text), every other part is a file.
class PartWalk {
public:
    PartWalk(MailMessage& message, const QString& what) : m_message(message), m_what(what) {}

    void walk(GMimeObject* object, int depth) {
        if (depth > MailMessages::kMaxDepth)
            throw Failure(QStringLiteral("%1 is nested more than %2 deep; nothing was imported.")
                              .arg(m_what)
                              .arg(MailMessages::kMaxDepth));
        if (++m_parts > MailMessages::kMaxParts)
            throw Failure(QStringLiteral("%1 has more than %2 parts; nothing was imported.")
                              .arg(m_what)
                              .arg(MailMessages::kMaxParts));
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            const int count = g_mime_multipart_get_count(multipart);
            for (int i = 0; i < count; ++i)
                walk(g_mime_multipart_get_part(multipart, i), depth + 1);
            return;
        }
        if (GMIME_IS_MESSAGE_PART(object)) {
            // A message sent along is kept as it is, as a file of its own.
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            if (inner)
                m_message.files.push_back({nameFor(object, QStringLiteral("message/rfc822")),
                                           written(GMIME_OBJECT(inner))});
            return;
        }
        if (!GMIME_IS_PART(object))
            return;
        GMimePart* part = GMIME_PART(object);
        const QString type = mimeTypeOf(object);
        GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
        const bool attached = disposition && g_mime_content_disposition_is_attachment(disposition);
        if (!attached && GMIME_IS_TEXT_PART(object)) {
            if (!m_plain && type == QLatin1String("text/plain")) {
                m_message.text = textOf(GMIME_TEXT_PART(object));
                m_plain = true;
                return;
            }
            if (!m_plain && !m_html && type == QLatin1String("text/html")) {
                m_htmlText = textOf(GMIME_TEXT_PART(object));
                m_html = true;
            }
        }
        m_message.files.push_back({nameFor(object, type), decodedContent(part)});
    }

    // The HTML that gave the text, when no plain text did.
    bool textFromHtml() const { return !m_plain && m_html; }
    const QString& html() const { return m_htmlText; }

private:
    QString nameFor(GMimeObject* object, const QString& type) {
        const char* given =
            GMIME_IS_PART(object) ? g_mime_part_get_filename(GMIME_PART(object)) : nullptr;
        if (given && *given)
            return QString::fromUtf8(given);
        const QString suffix = type == QLatin1String("message/rfc822")
                                   ? QStringLiteral("eml")
                                   : QMimeDatabase().mimeTypeForName(type).preferredSuffix();
        ++m_unnamed;
        return QStringLiteral("part-%1").arg(m_unnamed) +
               (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    }

    MailMessage& m_message;
    QString m_what;
    int m_parts = 0;
    int m_unnamed = 0;
    bool m_plain = false;
    bool m_html = false;
    QString m_htmlText;
};

MailMessage readMessage(GMimeMessage* parsed, const QString& what,
                        const MailMessages::HtmlToText& htmlToText) {
    MailMessage message;
    const char* subject = g_mime_message_get_subject(parsed);
    message.subject = QString::fromUtf8(subject ? subject : "");
    InternetAddressList* from = g_mime_message_get_from(parsed);
    for (int i = 0; from && i < internet_address_list_length(from); ++i) {
        InternetAddress* address = internet_address_list_get_address(from, i);
        if (!INTERNET_ADDRESS_IS_MAILBOX(address))
            continue;
        const char* name = internet_address_get_name(address);
        const char* mailbox = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
        message.senderName = QString::fromUtf8(name ? name : "").trimmed();
        message.senderAddress = QString::fromUtf8(mailbox ? mailbox : "").trimmed();
        break;
    }
    if (GDateTime* date = g_mime_message_get_date(parsed))
        message.date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date)).toLocalTime();

    PartWalk walk(message, what);
    if (GMimeObject* body = g_mime_message_get_mime_part(parsed))
        walk.walk(body, 1);
    if (walk.textFromHtml() && htmlToText)
        message.text = htmlToText(walk.html());
    // The message itself goes along, as every mail program can open it.
    message.files.push_back({QStringLiteral("message.eml"), written(GMIME_OBJECT(parsed))});
    // Stored texts hold no NUL characters; the message file keeps every byte.
    message.subject.remove(QChar(0));
    message.senderName.remove(QChar(0));
    message.senderAddress.remove(QChar(0));
    message.text.remove(QChar(0));
    return message;
}

} // namespace

namespace MailMessages {

std::vector<MailMessage> Read(const QByteArray& bytes, const QString& source,
                              const HtmlToText& htmlToText) {
    startLibrary();
    const bool mbox = bytes.startsWith("From ");
    Owned<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    Owned<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), mbox ? GMIME_FORMAT_MBOX : GMIME_FORMAT_MESSAGE);
    GMimeParserOptions* options = g_mime_parser_options_new();
    struct FreeOptions {
        GMimeParserOptions* options;
        ~FreeOptions() { g_mime_parser_options_free(options); }
    } freeOptions{options};
    std::vector<MailMessage> messages;
    do {
        Findings findings;
        g_mime_parser_options_set_warning_callback(options, noteWarning, &findings);
        Owned<GMimeMessage> parsed(g_mime_parser_construct_message(parser.get(), options));
        const int number = int(messages.size()) + 1;
        QString what = mbox ? QStringLiteral("Message %1 of '%2'").arg(number).arg(source)
                            : QStringLiteral("The message '%1'").arg(source);
        if (!parsed.get()) {
            if (mbox && !messages.empty() && g_mime_parser_eos(parser.get()))
                break;
            throw Failure(QStringLiteral("%1 is no mail message (it has no headers); nothing was "
                                         "imported.")
                              .arg(what));
        }
        if (const char* subject = g_mime_message_get_subject(parsed.get()))
            what += QStringLiteral(" (\"%1\")").arg(QString::fromUtf8(subject).left(80));
        if (findings.truncated)
            throw Failure(QStringLiteral("%1 is cut short; nothing was imported.").arg(what));
        if (findings.tooDeep)
            throw Failure(QStringLiteral("%1 is nested more than %2 deep; nothing was imported.")
                              .arg(what)
                              .arg(kMaxDepth));
        if (findings.hollow)
            throw Failure(QStringLiteral("%1 holds a part without headers or content; nothing was "
                                         "imported.")
                              .arg(what));
        messages.push_back(readMessage(parsed.get(), what, htmlToText));
    } while (mbox && !g_mime_parser_eos(parser.get()));
    return messages;
}

std::vector<MailMessage> ReadFile(const QString& path, const HtmlToText& htmlToText) {
    const QFileInfo info(path);
    if (!info.exists())
        throw Failure(QStringLiteral("Could not find file '%1'.").arg(path));
    if (!info.isFile())
        throw Failure(QStringLiteral("'%1' is not a file (a folder or a device).").arg(path));
    if (info.size() > kMaxFileBytes)
        throw Failure(QStringLiteral("The mail file '%1' is larger than %2 bytes; nothing was "
                                     "imported.")
                          .arg(path)
                          .arg(kMaxFileBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("The file '%1' cannot be read: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes)
        throw Failure(QStringLiteral("The mail file '%1' is larger than %2 bytes; nothing was "
                                     "imported.")
                          .arg(path)
                          .arg(kMaxFileBytes));
    return Read(bytes, info.fileName(), htmlToText);
}

} // namespace MailMessages
