#include "data/server_setup.h"

#include "data/failure.h"
#include "data/server_link.h"

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

} // namespace

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
    link.runScript(QString::fromUtf8(ServerSchemaScript()) + QLatin1String(kRolesScript));
}
