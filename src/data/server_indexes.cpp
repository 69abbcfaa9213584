// The indexes of a call log on the server. They change no result, only how fast some are
// found: --init-server and the upgrades (run by a desk of the login that owns the call log)
// make them; a desk of that login also makes one found missing when it connects, and a desk of
// any other login, which has no right to, never tries.
#include "data/failure.h"
#include "data/server_link.h"
#include "data/server_upgrades.h"

#include <iterator>

namespace {

struct Index {
    const char* name;
    const char* sql;
};

// The comments are found by any part of a word through the index of the three-letter pieces of
// their folded text (on a server that offers the extension that makes it). The summary counts the
// open calls from the second index alone, and the calls opened and resolved in recent weeks from
// the other two.
const Index kIndexes[] = {
    {"calls_comments_folded",
     "create extension if not exists pg_trgm; create index if not exists "
     "calls_comments_folded on calls using gin (folded_for_find(comments) gin_trgm_ops)"},
    {"calls_open", "create index if not exists calls_open on calls (status, priority, "
                   "\"assigned to\", \"due date\", \"resolved date\") "
                   "where \"resolved date\" is null"},
    {"calls_by_opened_date",
     "create index if not exists calls_by_opened_date on calls (\"opened date\")"},
    {"calls_by_resolved_date",
     "create index if not exists calls_by_resolved_date on calls (\"resolved date\", "
     "\"opened date\") where \"resolved date\" is not null"},
};

// One index made where it can be: a server without the extension goes on without that index
// (and finds the comments by reading them), and logs no error for it.
QString madeWhereItCan(const Index& index) {
    return QStringLiteral("DO $index$ BEGIN %1; EXCEPTION WHEN OTHERS THEN NULL; END $index$;\n")
        .arg(QLatin1String(index.sql));
}

} // namespace

QString ServerIndexesScript() {
    QString script;
    for (const Index& index : kIndexes)
        script += madeWhereItCan(index);
    return script;
}

void ServerLink::addIndexes() {
    // Asked first, so that a call log that has them all takes no lock on the calls; only the
    // login that owns the calls may add to them.
    auto present = run(QStringLiteral(
        "select i.indexname, pg_has_role(c.relowner, 'USAGE') from pg_class c "
        "left join pg_indexes i on i.tablename = c.relname and i.schemaname = current_schema() "
        "where c.oid = to_regclass('calls')"));
    if (present->rows() == 0 || QByteArray(present->text(0, 1)) != "t")
        return;
    QSet<QByteArray> names;
    for (int row = 0; row < present->rows(); ++row)
        names.insert(QByteArray(present->text(row, 0)));
    for (const Index& index : kIndexes) {
        if (!names.contains(index.name))
            run(madeWhereItCan(index));
    }
}
