#include "data/server_setup.h"

#include "data/failure.h"
#include "data/server_link.h"

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
    link.runScript(QString::fromUtf8(ServerSchemaScript()));
}
