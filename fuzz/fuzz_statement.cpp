// The building of statements from typed text: a call and a list value are written as the
// editors write them (the text between single quotes with every quote doubled), run on an
// in-memory database with the program's schema, and must store exactly the text typed, change
// nothing else, and be found and deleted by the same quoting. A date column takes the text
// only when it is a date, and then stores that date.
#include "data/connection.h"
#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/sql_text.h"
#include "fuzz_check.h"

#include <QFile>
#include <QLocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace {

Connection& database() {
    static Connection* connection = [] {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        auto* opened = new Connection;
        opened->openInMemory();
        QFile schema(QStringLiteral(QUORVANE_SCHEMA_SQL));
        check(schema.open(QIODevice::ReadOnly));
        check(sqlite3_exec(opened->handle(), schema.readAll().constData(), nullptr, nullptr,
                           nullptr) == SQLITE_OK);
        opened->execute(QStringLiteral("insert into Customers ([First Name]) values ('kept')"));
        return opened;
    }();
    return *connection;
}

QString quoted(const QString& text) {
    return QLatin1Char('\'') + DoubledQuotes(text) + QLatin1Char('\'');
}

// Runs a statement; false when the database refused it.
bool run(const QString& sql) {
    try {
        database().execute(sql);
        return true;
    } catch (const Failure&) {
        return false;
    }
}

QStringList row(const QString& sql) {
    Recordset records;
    records.open(sql, database());
    QStringList values;
    if (!records.eof())
        for (int i = 0; i < records.fieldCount(); ++i)
            values << records.field(i).joined();
    return values;
}

int count(const QString& sql) {
    return row(sql).value(0).toInt();
}

} // namespace

// Input: the typed text, optionally followed by a unit separator and the text of a date.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const qsizetype separator = input.indexOf(QChar(0x1f));
    const QString text = separator < 0 ? input : input.left(separator);
    const QString date = separator < 0 ? QStringLiteral("07/12/2026") : input.mid(separator + 1);
    // A statement ends at a NUL, which leaves its quote open: such text cannot be stored.
    const bool storable = !text.contains(QChar(0));
    const std::optional<QDateTime> when = DateText::parse(date);

    const bool saved =
        run(QStringLiteral("insert into Calls (Title,Comments,Status,[Opened Date],[Due Date]) "
                           "values (") +
            quoted(text) + QLatin1Char(',') + quoted(text) + QLatin1Char(',') + quoted(text) +
            QLatin1Char(',') + quoted(date) + QStringLiteral(",'07/12/2026')"));
    check(saved == (storable && !date.contains(QChar(0)) && when.has_value()));
    if (saved) {
        Recordset call;
        call.open(QStringLiteral("select Title,Comments,[Opened Date] from Calls where Title=") +
                      quoted(text),
                  database());
        check(!call.eof());
        check(call.field(0).toText() == text && call.field(1).toText() == text);
        check(call.field(2).toDate() == DateText::fromStored(DateText::toStored(*when)));
        call.close();
        check(run(QStringLiteral("delete from Calls where Status=") + quoted(text)));
        check(database().rowsAffected() == 1);
    }
    check(count(QStringLiteral("select count(*) from Calls")) == 0);

    const bool added =
        run(QStringLiteral("insert into [Status] values (") + quoted(text) + QLatin1Char(')'));
    check(added == storable);
    if (added) {
        check(row(QStringLiteral("select Status from Status")) == QStringList{text});
        check(run(QStringLiteral("delete from [Status] where Status=") + quoted(text)));
        check(database().rowsAffected() == 1);
    }
    check(count(QStringLiteral("select count(*) from Status")) == 0);
    check(count(QStringLiteral("select count(*) from Customers where [First Name]='kept'")) == 1);
    return 0;
}
