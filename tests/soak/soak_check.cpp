// The soak's checks after a kill: the file is sound, every confirmation is in it, no delete
// left its calls (or its value) behind, and the program starts on it without a box.
#include "soak.h"

#include "app/main_window.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cstdio>

namespace Soak {
namespace {

QString scalar(Connection& connection, const QString& sql) {
    Recordset records;
    records.open(sql, connection);
    return records.eof() ? QString() : records.field(0).joined();
}

// What the file holds, read once per check: for each table, its keys (a list value, a call's
// title, a contact's ID or "first<TAB>last") and what an edit changes (comments, notes).
struct Contents {
    QHash<QString, QSet<QString>> keys;
    QHash<QString, QString> edited; // "table<TAB>ID" -> comments or notes
};

void readTable(Connection& connection, Contents& contents, const QString& table,
               const QString& sql) {
    Recordset records;
    records.open(sql, connection);
    QSet<QString>& keys = contents.keys[table];
    for (; !records.eof(); records.moveNext()) {
        keys.insert(records.field(0).joined());
        if (records.fieldCount() > 1) {
            const QString id = records.field(1).joined();
            keys.insert(id);
            contents.edited.insert(table + '\t' + id, records.field(2).joined());
        }
    }
}

Contents readContents(Connection& connection) {
    Contents contents;
    readTable(connection, contents, "Status", "select Status from Status");
    readTable(connection, contents, "Categories", "select Category from Categories");
    readTable(connection, contents, "Priorities", "select Priority from Priorities");
    readTable(connection, contents, "Calls", "select Title, ID, Comments from Calls");
    for (const char* table : {"Employees", "Customers"})
        readTable(connection, contents, table,
                  QStringLiteral("select ifnull([First Name],'')||char(9)||ifnull([Last "
                                 "Name],''), ID, Notes from ") +
                      table);
    return contents;
}

// An edit saved "edit N"; a later one may have been saved without being logged.
bool keptEdit(const QString& stored, qint64 confirmed) {
    return stored.startsWith(QLatin1String("edit ")) && stored.mid(5).toLongLong() >= confirmed;
}

void checkFile(const QString& root, Figures& figures) {
    figures.confirmations = 0;
    Connection connection;
    connection.open(Form1::ConnectionString());
    const QString integrity = scalar(connection, QStringLiteral("PRAGMA integrity_check"));
    if (integrity != QLatin1String("ok")) {
        ++figures.integrityFailures;
        std::fprintf(stderr, "soak: integrity check: %s\n", qPrintable(integrity));
    }
    const Contents contents = readContents(connection);
    auto has = [&](const QString& table, const QString& key) {
        return contents.keys.value(table).contains(key);
    };

    auto lost = [&](const QByteArray& line) {
        if (figures.counted.contains(QString::fromUtf8(line)))
            return;
        figures.counted.insert(QString::fromUtf8(line));
        ++figures.confirmedRowsLost;
        std::fprintf(stderr, "soak: confirmed but lost: %s\n", line.constData());
    };
    auto half = [&](const QString& what) {
        if (figures.counted.contains(what))
            return;
        figures.counted.insert(what);
        ++figures.halfCascades;
        std::fprintf(stderr, "soak: half done: %s\n", qPrintable(what));
    };

    QFile log(LogPath(root));
    if (!log.open(QIODevice::ReadOnly))
        return;
    QHash<QString, std::pair<qint64, QByteArray>> edits; // the newest confirmed edit of a row
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        ++figures.confirmations;
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        const QString& kind = fields.first();
        if (kind == QLatin1String("call")) {
            if (!has("Calls", fields[1]))
                lost(line);
        } else if (kind == QLatin1String("value")) {
            if (!has(fields[1], fields[2]))
                lost(line);
        } else if (kind == QLatin1String("contact")) {
            if (!has(fields[1], fields[2] + '\t' + fields[3]))
                lost(line);
        } else if (kind == QLatin1String("call-edit")) {
            edits.insert("Calls\t" + fields[1], {fields[2].toLongLong(), line});
        } else if (kind == QLatin1String("contact-edit")) {
            edits.insert(fields[1] + '\t' + fields[2], {fields[3].toLongLong(), line});
        } else if (kind == QLatin1String("deleted")) {
            if (has(fields[1], fields[2]))
                lost(line);
        } else if (kind == QLatin1String("cascade-call")) {
            // Before the delete both are there, after it neither.
            if (!has("Calls", fields[1]) && has(fields[2], fields[3]))
                half(QString::fromUtf8(line) + " (the call is gone, its " + fields[2] +
                     " row is not)");
        }
    }
    for (auto edit = edits.cbegin(); edit != edits.cend(); ++edit) {
        if (!keptEdit(contents.edited.value(edit.key()), edit.value().first))
            lost(edit.value().second);
    }

    // No call may name a value or a person that is gone (who resolved a call is kept apart:
    // deleting that person leaves the call).
    Recordset orphans;
    orphans.open("select ID, Title from Calls where Status not in (select Status from Status) or "
                 "Category not in (select Category from Categories) or Priority not in (select "
                 "Priority from Priorities) or [Assigned To] not in (select ID from Employees) or "
                 "[Opened By] not in (select ID from Employees) or Caller not in (select ID from "
                 "Customers)",
                 connection);
    for (; !orphans.eof(); orphans.moveNext())
        half("call " + orphans.field(0).joined() + " '" + orphans.field(1).joined() +
             "' names a deleted value or contact");
    orphans.close();
    connection.close();
}

// The program starts on the file without a box and lists every call.
void checkStart(Figures& figures) {
    ScriptedPrompts prompts;
    Form1 window;
    window.Form_Load();
    while (window.listFilling())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    bool clean = prompts.boxes.empty() && SharedConnection().state() == 1;
    if (clean) {
        Recordset records;
        records.open(QStringLiteral("select count(*) from Calls"), SharedConnection());
        clean = window.callList()->rowCount() == records.field(0).toInteger();
    }
    if (!clean) {
        ++figures.failedStarts;
        std::fprintf(stderr, "soak: start failed: %s\n",
                     qPrintable(prompts.texts().join(QStringLiteral(" | "))));
    }
    window.Form_QueryUnload();
}

} // namespace

void CheckAfterKill(const QString& root, Figures& figures) {
    if (QFileInfo(Form1::DataFolder() + "/dbData.mdb-journal").size() > 0)
        ++figures.killsDuringWrites;
    try {
        checkFile(root, figures);
    } catch (const Failure& failure) {
        ++figures.integrityFailures;
        std::fprintf(stderr, "soak: the file cannot be read: %s\n",
                     qPrintable(failure.description()));
    }
    checkStart(figures);
}

} // namespace Soak
