#include "app/attachment_commands.h"

#include "app/main_window.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "records/attachment_store.h"
#include "ui/shown_text.h"

namespace AttachmentCommands {
namespace {

QString printable(const QString& name) {
    QString shown;
    for (const QChar c : ShownSafely(name)) {
        if (c == QLatin1Char('\n'))
            shown += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            shown += QStringLiteral("\\t");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

void open(Connection& connection, qint64 call) {
    connection.open(Form1::ConnectionString());
    Recordset found;
    found.open(QStringLiteral("select count(*) from Calls where ID = %1").arg(call), connection);
    if (found.field(0).toInteger() == 0)
        throw Failure(QStringLiteral("There is no call %1.").arg(call));
}

} // namespace

qint64 callNumber(const QString& text) {
    bool number = false;
    const qint64 call = text.trimmed().toLongLong(&number);
    return number && call > 0 ? call : 0;
}

void list(qint64 call, QTextStream& out) {
    Connection connection;
    open(connection, call);
    for (const Attachments::Attachment& one : Attachments::List(connection, call))
        out << printable(one.name) << '\t' << one.size << '\t' << one.type << '\t' << one.addedAt
            << '\t' << printable(one.addedBy) << '\n';
}

void save(qint64 call, const QString& name, const QString& path, QTextStream& out) {
    Connection connection;
    open(connection, call);
    qint64 id = Attachments::Find(connection, call, name);
    if (!id) {
        for (const Attachments::Attachment& one : Attachments::List(connection, call)) {
            if (printable(one.name) == name)
                id = one.id;
        }
    }
    if (!id)
        throw Failure(QStringLiteral("Call %1 has no attachment named '%2'.").arg(call).arg(name));
    Attachments::SaveAs(connection, id, path);
    out << "Saved the attachment '" << printable(name) << "' of call " << call << " to " << path
        << '\n';
}

} // namespace AttachmentCommands
