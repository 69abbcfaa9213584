#include "data/server_upgrades.h"

#include "data/failure.h"
#include "data/server_link.h"

#include <algorithm>

namespace {

// step(i) brings a call log of version i + 2 to version i + 3: the first version on a server
// was 2. Empty when no such step is known.
QString step(int index) {
    switch (index) {
    case 0:
        return QString::fromUtf8(ServerHistorySchemaScript());
    case 1:
        // 3 to 4: a change of the calls is announced with the IDs of the calls it changed, so
        // that the other desks read only those again; the announcer of every statement makes
        // way for it. (The comments' index of three-letter pieces is added at connection, where
        // the login has the right to.)
        return QStringLiteral("DROP TRIGGER calls_changed ON calls;\n") +
               QString::fromUtf8(ServerAnnouncementsSchemaScript());
    case 2:
        // 4 to 5: a call log installed before the server checked what calls name gets the
        // checks now. Calls that already name someone or something gone stay (the checks
        // hold for what is written from now on); the program's --check counts them.
        return QStringLiteral(R"(
DO $$
DECLARE
    checks text[][] := ARRAY[
        ['calls_assigned_to', '"assigned to"', 'employees (id)', ''],
        ['calls_opened_by', '"opened by"', 'employees (id)', ''],
        ['calls_resolved_by', '"resolved by"', 'employees (id)', 'ON DELETE SET NULL'],
        ['calls_caller', 'caller', 'customers (id)', ''],
        ['calls_status', 'status', 'status_entries (status)', ''],
        ['calls_category', 'category', 'category_entries (category)', ''],
        ['calls_priority', 'priority', 'priority_entries (priority)', '']];
    i integer;
BEGIN
    FOR i IN 1 .. array_length(checks, 1) LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_constraint WHERE conname = checks[i][1]
                       AND conrelid = 'calls'::regclass) THEN
            EXECUTE format('ALTER TABLE calls ADD CONSTRAINT %I FOREIGN KEY (%s) REFERENCES %s '
                           '%s DEFERRABLE INITIALLY DEFERRED NOT VALID',
                           checks[i][1], checks[i][2], checks[i][3], checks[i][4]);
        END IF;
    END LOOP;
END
$$;
CREATE INDEX IF NOT EXISTS callsbyresolvedby ON calls ("resolved by");
)");
    case 3:
        // 5 to 6: every index, made by the owner of the call log rather than tried by each
        // desk; the history and the kept copies written only by the program's triggers.
        return ServerIndexesScript() + QString::fromUtf8(ServerAuditScript());
    case 4:
        // 6 to 7: the comments are found without regard to accents, through an index of their
        // folded text in place of the one of the text as it is.
        return QString::fromUtf8(ServerFoldedCommentsSchemaScript()) + ServerIndexesScript();
    case 5:
        // 7 to 8: files kept with the calls.
        return QString::fromUtf8(ServerAttachmentsSchemaScript());
    case 6:
        // 8 to 9: dates sent in the stored form are kept without being read again, and the
        // history's writer says who and when without calling out for them; it runs as the
        // owner again, as every writer of the audit trail does.
        return QString::fromUtf8(ServerQuickDatesSchemaScript()) +
               QString::fromUtf8(ServerHistoryWriterSchemaScript()) +
               QString::fromUtf8(ServerAuditScript());
    default:
        return {};
    }
}

constexpr int kFirstServerVersion = 2;
constexpr int kServerVersion = 9;

} // namespace

int ServerSchemaVersion() {
    return kServerVersion;
}

void UpgradeServerSchema(ServerLink& link, int version) {
    const QString what = QStringLiteral("The call log %1 cannot be upgraded from schema %2 to "
                                        "%3, and is unchanged")
                             .arg(ServerLink::displayed(link.uri()))
                             .arg(version)
                             .arg(ServerSchemaVersion());
    try {
        link.beginTransaction();
        try {
            // One desk upgrades; the others wait for it and then find the new version.
            auto locked =
                link.run(QStringLiteral("select version from quorvane_schema for update"));
            const int current = locked->rows() ? QByteArray(locked->text(0, 0)).toInt() : 0;
            for (int from = std::max(current, kFirstServerVersion); from < ServerSchemaVersion();
                 ++from) {
                const QString script = step(from - kFirstServerVersion);
                if (script.isEmpty())
                    throw Failure(QStringLiteral("no upgrade from schema %1 is known").arg(from));
                link.runScript(script);
            }
            link.run(QStringLiteral("update quorvane_schema set version = %1")
                         .arg(ServerSchemaVersion()));
            link.commit();
        } catch (...) {
            if (link.inTransaction())
                link.rollback();
            throw;
        }
    } catch (const Failure& failure) {
        throw Failure(SentenceWithCause(what, failure.description()));
    }
}
