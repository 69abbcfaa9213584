#include "data/engine_functions.h"

#include "data/date_text.h"
#include "data/folded_text.h"

#include <QDate>
#include <QTime>

#include <pwd.h>
#include <unistd.h>

// Built into the program, the functions call SQLite directly; built into the loadable
// extension, they reach it through the table of routines that the loading program hands over.
#ifdef QUORVANE_SQLITE_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

namespace {

// The number written by the digits text[from, from + count), or -1 when one is not a digit.
int digits(const unsigned char* text, int from, int count) {
    int number = 0;
    for (int i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        number = number * 10 + (text[i] - '0');
    }
    return number;
}

// Whether `text` is a date in the stored form already, exactly as the slow path below would
// write it again: "yyyy-MM-dd", or "yyyy-MM-dd HH:mm:ss" with a time other than midnight, in
// the years 100 to 9999. Every statement's dates pass through here several times (the date
// triggers and the history compare them), and most are stored ones.
bool alreadyStored(const unsigned char* text, int size) {
    if ((size != 10 && size != 19) || text[4] != '-' || text[7] != '-')
        return false;
    const int year = digits(text, 0, 4);
    if (year < 100 || !QDate::isValid(year, digits(text, 5, 2), digits(text, 8, 2)))
        return false;
    if (size == 10)
        return true;
    if (text[10] != ' ' || text[13] != ':' || text[16] != ':')
        return false;
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    return QTime::isValid(hour, minute, second, 0) && (hour | minute | second) != 0;
}

void storedDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* arg = argv[0];
    if (sqlite3_value_type(arg) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (sqlite3_value_type(arg) == SQLITE_TEXT &&
        alreadyStored(sqlite3_value_text(arg), sqlite3_value_bytes(arg))) {
        sqlite3_result_value(ctx, arg);
        return;
    }
    const auto* raw = reinterpret_cast<const char*>(sqlite3_value_text(arg));
    const QString text = QString::fromUtf8(raw, sqlite3_value_bytes(arg));
    if (sqlite3_value_type(arg) == SQLITE_TEXT) {
        if (auto parsed = DateText::parse(text)) {
            const QByteArray stored = DateText::toStored(*parsed).toUtf8();
            sqlite3_result_text(ctx, stored.constData(), int(stored.size()), SQLITE_TRANSIENT);
            return;
        }
    }
    const QByteArray message =
        QStringLiteral("Data type mismatch: '%1' is not a valid date (expected a date such as %2).")
            .arg(text, DateText::format(DateText::today()))
            .toUtf8();
    sqlite3_result_error(ctx, message.constData(), int(message.size()));
}

// Text order of the value lists: letter case aside ("Closed" < "open" < "Printer"); values
// that differ only in case stand small letters first ("open" < "Open"), and only identical
// texts are equal, so a delete by value removes exactly that value.
int caselessOrder(void*, int leftBytes, const void* left, int rightBytes, const void* right) {
    const QStringView a(static_cast<const char16_t*>(left), leftBytes / 2);
    const QStringView b(static_cast<const char16_t*>(right), rightBytes / 2);
    int order = a.compare(b, Qt::CaseInsensitive);
    if (order == 0)
        order = b.compare(a, Qt::CaseSensitive);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

// FoldedCase(x): the text with letter case folded away, for comparing values without regard
// to case.
void foldedCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* raw = static_cast<const char16_t*>(sqlite3_value_text16(argv[0]));
    const QString folded =
        QStringView(raw, sqlite3_value_bytes16(argv[0]) / 2).toString().toCaseFolded();
    sqlite3_result_text16(ctx, folded.utf16(), int(folded.size() * 2), SQLITE_TRANSIENT);
}

// FindFolded(x): the text with letter case and accents folded away, as finding compares it
// (the comments' index holds its pieces of the comments folded so).
void findFolded(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    bool ascii = true;
    for (int i = 0; i < size && ascii; ++i)
        ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
    if (ascii) {
        // Most comments: only the capitals change, byte for byte.
        char* folded = static_cast<char*>(sqlite3_malloc(size + 1));
        if (!folded) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
        for (int i = 0; i < size; ++i)
            folded[i] =
                bytes[i] >= 'A' && bytes[i] <= 'Z' ? char(bytes[i] + ('a' - 'A')) : bytes[i];
        folded[size] = '\0';
        sqlite3_result_text(ctx, folded, size, sqlite3_free);
        return;
    }
    const QByteArray folded = FoldedForFind(QString::fromUtf8(bytes, size)).toUtf8();
    sqlite3_result_text(ctx, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

// The aggregate context holds a copy of the chosen value.
struct Chosen {
    sqlite3_value* value;
    bool seen;
};

template <bool keepLast> void chooseStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* chosen = static_cast<Chosen*>(sqlite3_aggregate_context(ctx, sizeof(Chosen)));
    if (!chosen)
        return;
    if (chosen->seen && !keepLast)
        return;
    sqlite3_value_free(chosen->value);
    chosen->value = sqlite3_value_dup(argv[0]);
    chosen->seen = true;
}

void chooseFinal(sqlite3_context* ctx) {
    auto* chosen = static_cast<Chosen*>(sqlite3_aggregate_context(ctx, 0));
    if (!chosen || !chosen->value) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_value(ctx, chosen->value);
    sqlite3_value_free(chosen->value);
    chosen->value = nullptr;
}

// ChangedBy(): who makes a change, as the history of a call records it: the login. It is
// looked up once: the history asks for it with every call written.
void changedBy(sqlite3_context* ctx, int, sqlite3_value**) {
    static const QByteArray text = [] {
        QString login = qEnvironmentVariable("USER");
        if (login.isEmpty())
            login = qEnvironmentVariable("LOGNAME");
        if (login.isEmpty()) {
            if (const passwd* entry = getpwuid(getuid()))
                login = QString::fromLocal8Bit(entry->pw_name);
        }
        return login.toUtf8();
    }();
    sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

// ChangeTime(): now, in the stored form of a date with its time of day. The text is made
// again only when the second changes: a large write asks for it with every call.
void changeTime(sqlite3_context* ctx, int, sqlite3_value**) {
    thread_local qint64 second = -1;
    thread_local QByteArray text;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now != second) {
        text = QDateTime::fromSecsSinceEpoch(now)
                   .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                   .toUtf8();
        second = now;
    }
    sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

} // namespace

void RegisterEngineFunctions(sqlite3* db) {
    // First() and Last() answer by the order in which the rows were stored, so a table must be
    // read in that order. Left to itself, SQLite may read a one-column table through its unique
    // index instead (it does whenever it judges the index narrower than the table), and that
    // gives the rows in alphabetical order. Turning off full scans through covering indexes
    // keeps every plain scan in stored order; a search or sort may still use any index.
    constexpr int kCoveringIndexScan = 0x20;
    sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, kCoveringIndexScan);
    sqlite3_create_function(db, "StoredDate", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            storedDate, nullptr, nullptr);
    sqlite3_create_function(db, "FoldedCase", 1, SQLITE_UTF16 | SQLITE_DETERMINISTIC, nullptr,
                            foldedCase, nullptr, nullptr);
    sqlite3_create_function(db, "FindFolded", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            findFolded, nullptr, nullptr);
    sqlite3_create_function(db, "ChangedBy", 0, SQLITE_UTF8, nullptr, changedBy, nullptr, nullptr);
    sqlite3_create_function(db, "ChangeTime", 0, SQLITE_UTF8, nullptr, changeTime, nullptr,
                            nullptr);
    sqlite3_create_collation(db, "Caseless", SQLITE_UTF16_ALIGNED, nullptr, caselessOrder);
    sqlite3_create_function(db, "First", 1, SQLITE_UTF8, nullptr, nullptr, chooseStep<false>,
                            chooseFinal);
    sqlite3_create_function(db, "Last", 1, SQLITE_UTF8, nullptr, nullptr, chooseStep<true>,
                            chooseFinal);
}
