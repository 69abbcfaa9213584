#include "data/server_setup.h"

#include "data/failure.h"
#include "data/server_link.h"
#include "data/server_upgrades.h"

namespace {

// Two roles for the logins of a team: quorvane_writer reads and changes the call log's rows
// (it cannot change the tables themselves), quorvane_reader only reads them. The roles belong
// to the whole server and are made once; each call log grants them its own rows. A login that
// may not make roles installs the call log without them.
const char* const kRolesScript = R"sql(
DO $roles$
DECLARE
    role_name text;
BEGIN
    FOREACH role_name IN ARRAY ARRAY['quorvane_writer', 'quorvane_reader'] LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = role_name) THEN
            BEGIN
                EXECUTE format('CREATE ROLE %I NOLOGIN', role_name);
            EXCEPTION WHEN duplicate_object OR unique_violation OR insufficient_privilege THEN
                NULL;
            END;
        END IF;
    END LOOP;
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'quorvane_reader') THEN
        EXECUTE format('GRANT CONNECT ON DATABASE %I TO quorvane_reader', current_database());
        EXECUTE format('GRANT USAGE ON SCHEMA %I TO quorvane_reader', current_schema());
        EXECUTE format('GRANT SELECT ON ALL TABLES IN SCHEMA %I TO quorvane_reader',
                       current_schema());
    END IF;
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'quorvane_writer') THEN
        EXECUTE format('GRANT CONNECT ON DATABASE %I TO quorvane_writer', current_database());
        EXECUTE format('GRANT USAGE ON SCHEMA %I TO quorvane_writer', current_schema());
        EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA %I '
                       'TO quorvane_writer', current_schema());
        EXECUTE format('GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA %I TO quorvane_writer',
                       current_schema());
    END IF;
END
$roles$;
)sql";

// The history and the kept copies are an audit trail: the triggers that write them run as the
// owner of the call log (with the owner's own search path), and the writers' logins may add
// to them only through those triggers. A writer may not change or delete the history, nor
// the schema's version; of the kept copies, it may delete those that an undelete puts back
// or that are old enough to go, and may mark its own deletion as finished.
const char* const kAuditScript = R"sql(
DO $audit$
DECLARE
    definer text;
BEGIN
    FOREACH definer IN ARRAY ARRAY['calls_history()', 'current_deletion()', 'people_kept()',
                                   'value_kept()'] LOOP
        EXECUTE format('ALTER FUNCTION %s SECURITY DEFINER SET search_path = %I, pg_temp',
                       definer, current_schema());
    END LOOP;
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'quorvane_writer') THEN
        REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON callhistory, quorvane_schema
            FROM quorvane_writer;
        REVOKE INSERT, UPDATE, TRUNCATE ON deletedcalls, deletedpeople, deletedvalues
            FROM quorvane_writer;
        REVOKE UPDATE, TRUNCATE ON deletions FROM quorvane_writer;
        GRANT UPDATE (pending) ON deletions TO quorvane_writer;
    END IF;
END
$audit$;
)sql";

} // namespace

const char* ServerAuditScript() {
    return kAuditScript;
}

void InstallServerSchema(const QString& uri) {
    ServerLink link(uri, false);
    auto existing = link.run(QStringLiteral(
        "select count(*) from pg_class c join pg_namespace n on n.oid = c.relnamespace "
        "where n.nspname = current_schema() and c.relkind in ('r', 'v', 'm', 'p', 'f')"));
    if (QByteArray(existing->text(0, 0)).toInt() > 0)
        throw Failure(QStringLiteral("The database %1 is not empty: the call log is installed "
                                     "only into an empty database.")
                          .arg(ServerLink::displayed(uri)));
    // The script runs as one transaction: it is installed whole or not at all.
    link.runScript(QString::fromUtf8(ServerSchemaScript()) + QLatin1String(kRolesScript) +
                   ServerIndexesScript() + QLatin1String(kAuditScript));
}
