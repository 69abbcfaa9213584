// Indexes that a call log on the server gets at connect when it lacks them: they change no
// result, only how fast some are found, so a login without the right to add them goes on
// without.
#include "data/failure.h"
#include "data/server_link.h"

#include <iterator>

namespace {

struct Index {
    const char* name;
    const char* sql;
};

// The summary counts the open calls from the first index alone, and the calls opened and
// resolved in recent weeks from the other two.
const Index kSummaryIndexes[] = {
    {"calls_open", "create index if not exists calls_open on calls (status, priority, "
                   "\"assigned to\", \"due date\", \"resolved date\") "
                   "where \"resolved date\" is null"},
    {"calls_by_opened_date",
     "create index if not exists calls_by_opened_date on calls (\"opened date\")"},
    {"calls_by_resolved_date",
     "create index if not exists calls_by_resolved_date on calls (\"resolved date\", "
     "\"opened date\") where \"resolved date\" is not null"},
};

} // namespace

void ServerLink::addIndexes() {
    addCommentsIndex();
    // Asked first, so that a call log that has them all takes no lock on the calls.
    auto present = run(QStringLiteral("select indexname from pg_indexes where tablename = "
                                      "'calls' and schemaname = current_schema()"));
    QSet<QByteArray> names;
    for (int row = 0; row < present->rows(); ++row)
        names.insert(QByteArray(present->text(row, 0)));
    for (const Index& index : kSummaryIndexes) {
        if (names.contains(index.name))
            continue;
        try {
            run(QString::fromLatin1(index.sql));
        } catch (const Failure&) {
        }
    }
}
