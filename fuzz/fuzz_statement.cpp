// The quoting of typed text into statements: whatever the text, the statement that the value
// lists build stores exactly that text and deletes exactly that row, and nothing else.
#include "calls/combo_lists.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/recordset.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Connection* connection = [] {
        auto* opened = new Connection;
        opened->openInMemory();
        opened->execute(QStringLiteral("create table Status (Status text primary key)"));
        opened->execute(QStringLiteral("create table Other (Value text)"));
        opened->execute(QStringLiteral("insert into Other values ('kept')"));
        return opened;
    }();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    bool stored = false;
    try {
        connection->execute(QStringLiteral("insert into [Status] values ('") + DoubledQuotes(text) +
                            QStringLiteral("')"));
        stored = true;
    } catch (const Failure&) {
        // Refused with a description: only a NUL may do that.
        if (!text.contains(QChar(0)))
            std::abort();
    }
    Recordset records;
    records.open(QStringLiteral("select Status from Status"), *connection);
    if (stored) {
        if (records.eof() || records.field(0).toText() != text)
            std::abort();
        records.moveNext();
    }
    if (!records.eof())
        std::abort();
    records.close();
    if (stored) {
        connection->execute(QStringLiteral("delete from [Status] where Status='") +
                            DoubledQuotes(text) + QLatin1Char('\''));
        if (connection->rowsAffected() != 1)
            std::abort();
    }
    records.open(QStringLiteral("select count(*) from Other"), *connection);
    if (records.field(0).toInteger() != 1)
        std::abort();
    return 0;
}
