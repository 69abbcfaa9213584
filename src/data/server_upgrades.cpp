#include "data/server_upgrades.h"

#include "data/failure.h"
#include "data/schema_upgrades.h"
#include "data/server_link.h"

#include <algorithm>

namespace {

// kSteps[i] brings a call log of version i + 2 to version i + 3: the first version on a server
// was 2.
const char* step(int index) {
    switch (index) {
    case 0:
        return ServerHistorySchemaScript();
    case 1:
        // 3 to 4: a change of the calls is announced with the IDs of the calls it changed, so
        // that the other desks read only those again. (The comments' index of three-letter
        // pieces is added at connection, where the login has the right to.)
        return R"(
CREATE FUNCTION calls_announce_rows() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    ids text;
BEGIN
    IF TG_OP = 'DELETE' THEN
        SELECT string_agg(id::text, ',') INTO ids FROM gone_rows;
    ELSE
        SELECT string_agg(id::text, ',') INTO ids FROM changed_rows;
    END IF;
    IF ids IS NULL THEN
        RETURN NULL;
    END IF;
    PERFORM pg_notify('calls_changed', CASE WHEN length(ids) > 7000 THEN '' ELSE ids END);
    RETURN NULL;
END
$$;
DROP TRIGGER calls_changed ON calls;
CREATE TRIGGER calls_inserted AFTER INSERT ON calls REFERENCING NEW TABLE AS changed_rows
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce_rows();
CREATE TRIGGER calls_updated AFTER UPDATE ON calls REFERENCING NEW TABLE AS changed_rows
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce_rows();
CREATE TRIGGER calls_deleted AFTER DELETE ON calls REFERENCING OLD TABLE AS gone_rows
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce_rows();
CREATE TRIGGER calls_changed AFTER TRUNCATE ON calls
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce();
)";
    case 2:
        // 4 to 5: nothing to change in the tables; the summary's indexes are added at
        // connection (server_indexes.cpp), where the login has the right to.
        return "SELECT 1";
    default:
        return nullptr;
    }
}

constexpr int kFirstServerVersion = 2;

} // namespace

void UpgradeServerSchema(ServerLink& link, int version) {
    const QString what = QStringLiteral("The call log %1 cannot be upgraded from schema %2 to "
                                        "%3, and is unchanged")
                             .arg(ServerLink::displayed(link.uri()))
                             .arg(version)
                             .arg(SchemaVersion());
    try {
        link.beginTransaction();
        try {
            // One desk upgrades; the others wait for it and then find the new version.
            auto locked =
                link.run(QStringLiteral("select version from quorvane_schema for update"));
            const int current = locked->rows() ? QByteArray(locked->text(0, 0)).toInt() : 0;
            for (int from = std::max(current, kFirstServerVersion); from < SchemaVersion();
                 ++from) {
                const char* script = step(from - kFirstServerVersion);
                if (!script)
                    throw Failure(QStringLiteral("no upgrade from schema %1 is known").arg(from));
                link.runScript(QString::fromUtf8(script));
            }
            link.run(
                QStringLiteral("update quorvane_schema set version = %1").arg(SchemaVersion()));
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
