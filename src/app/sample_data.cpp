// "Load Sample/Example Data": tops up the people and the three value lists to two rows each and
// adds three example calls that name their first and last rows.
#include "app/main_window.h"

#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "ui/error_trap.h"

#include <memory>

namespace {

// One table that the sample data tops up: how to count its rows, how to add each sample row,
// and how to ask for the value of its first and last stored row.
struct SampleTable {
    int baseLine;
    const char* countQuery;
    const char* firstQuery;
    const char* lastQuery;
    const char* rows[2];
};

const SampleTable kTables[] = {
    {102,
     "SELECT Count(Employees.ID) AS [CountID] From Employees",
     "SELECT First(Employees.ID) AS [MaxID] FROM Employees",
     "SELECT Last(Employees.ID) AS [MaxID] FROM Employees",
     {"insert into Employees ([First Name],[Last Name],[E-mail Address],Company,[Job Title]) "
      "values ('John','Wilson','john.wilson@acme.example','ACME','Manager')",
      "insert into Employees ([First Name],[Last Name],[E-mail Address],Company,[Job Title]) "
      "values ('Daniel','Carter','daniel.carter@acme.example','ACME','HR')"}},
    {144,
     "SELECT Count(Customers.ID) AS [CountID] From Customers",
     "SELECT First(Customers.ID) AS [MaxID] FROM Customers",
     "SELECT Last(Customers.ID) AS [MaxID] FROM Customers",
     {"insert into Customers ([First Name],[Last Name],[E-mail Address],Company,[Job Title]) "
      "values ('Hanna','Simmons','hanna.simmons@simmons-supplies.example','Simmons "
      "Supplies','CEO')",
      "insert into Customers ([First Name],[Last Name],[E-mail Address],Company,[Job Title]) "
      "values ('Neil','Burgess','neil.burgess@westeast-cars.example','WestEast Cost Cars',"
      "'Senior manager')"}},
    {186,
     "SELECT Count(Status.Status) AS [CountID] From Status",
     "SELECT First(Status.Status) AS [MaxID] FROM Status",
     "SELECT Last(Status.Status) AS [MaxID] FROM Status",
     {"insert into [Status] values ('In process')", "insert into [Status] values ('Cancelled')"}},
    {228,
     "SELECT Count(Categories.Category) AS [CountID] From Categories",
     "SELECT First(Categories.Category) AS [MaxID] FROM Categories",
     "SELECT Last(Categories.Category) AS [MaxID] FROM Categories",
     {"insert into [Categories] values ('New Category')",
      "insert into [Categories] values ('Main Category')"}},
    {270,
     "SELECT Count(Priorities.Priority) AS [CountID] From Priorities",
     "SELECT First(Priorities.Priority) AS [MaxID] FROM Priorities",
     "SELECT Last(Priorities.Priority) AS [MaxID] FROM Priorities",
     {"insert into [Priorities] values ('High')", "insert into [Priorities] values ('Low')"}},
};

enum { kEmployees, kCustomers, kStatus, kCategories, kPriorities };

// The first and last value of a table: ids as numbers, list values as text.
struct FirstAndLast {
    QString first;
    QString last;
};

// A list value from the database inside SQL quotes: the sample texts hold no quote, but a
// value that a user stored may, and it must neither break nor change the statement.
QString quoted(const QString& value) {
    return QString(value).replace(QLatin1Char('\''), QLatin1String("''"));
}

} // namespace

void Form1::PushButton4_Click() {
    ErrorTrap trap("Form1", "PushButton4_Click");
    std::unique_ptr<Recordset> records;
    trap.run(100, [&] { records = std::make_unique<Recordset>(); });
    // Fails like a missing object when the recordset could not be created.
    auto recordset = [&]() -> Recordset& {
        if (!records)
            throw Failure(QStringLiteral("Object variable or With block variable not set"));
        return *records;
    };

    FirstAndLast values[5];
    for (int table = 0; table < 5; ++table) {
        const SampleTable& sample = kTables[table];
        const int line = sample.baseLine;
        const bool isId = table == kEmployees || table == kCustomers;
        auto readValue = [&](QString* target) {
            const Value value = recordset().field(QStringLiteral("MaxID"));
            *target = isId ? QString::number(value.toInteger()) : value.toText();
        };

        int rowCount = 0;
        trap.run(line, [&] { rowCount = 0; });
        trap.run(line + 2, [&] {
            recordset().open(QString::fromLatin1(sample.countQuery), SharedConnection(),
                             Recordset::kStatic, Recordset::kReadOnly);
        });
        if (trap.test(line + 4, [&] { return !recordset().eof(); }))
            trap.run(line + 6, [&] {
                rowCount = int(recordset().field(QStringLiteral("CountID")).toInteger());
            });
        trap.run(line + 8, [&] { recordset().close(); });

        for (int row = 0; row < 2; ++row) {
            if (trap.test(line + 10 + 6 * row, [&] { return rowCount < 2; })) {
                trap.run(line + 12 + 6 * row, [&] {
                    SharedConnection().execute(QString::fromLatin1(sample.rows[row]));
                });
                // A refused row counts all the same.
                trap.run(line + 14 + 6 * row, [&] { rowCount += 1; });
            }
        }

        const QString startValue = isId ? QStringLiteral("1") : QStringLiteral(" ");
        trap.run(line + 22, [&] { values[table].first = startValue; });
        trap.run(line + 24, [&] { values[table].last = startValue; });
        const struct {
            const char* query;
            QString* target;
        } ends[] = {{sample.firstQuery, &values[table].first},
                    {sample.lastQuery, &values[table].last}};
        for (int end = 0; end < 2; ++end) {
            const int endLine = line + 26 + 8 * end;
            trap.run(endLine, [&] {
                recordset().open(QString::fromLatin1(ends[end].query), SharedConnection(),
                                 Recordset::kStatic, Recordset::kReadOnly);
            });
            if (trap.test(endLine + 2, [&] { return !recordset().eof(); }))
                trap.run(endLine + 4, [&] { readValue(ends[end].target); });
            trap.run(endLine + 6, [&] { recordset().close(); });
        }
    }

    const QString today = DateText::format(DateText::today());
    const struct {
        const char* title;
        QString assignedTo, openedBy, status, category, priority;
        const char* comments;
        QString resolvedBy, caller;
    } calls[] = {
        {"Offer a discount to next purchase", values[kEmployees].last, values[kEmployees].last,
         values[kStatus].last, values[kCategories].last, values[kPriorities].last,
         "Notify John about the reason of discount", values[kEmployees].last,
         values[kCustomers].last},
        {"Phone call to customer", values[kEmployees].first, values[kEmployees].first,
         values[kStatus].first, values[kCategories].first, values[kPriorities].first,
         "Write any comments here", values[kEmployees].first, values[kCustomers].first},
        {"Find out why delivery is delayed", values[kEmployees].last, values[kEmployees].first,
         values[kStatus].first, values[kCategories].last, values[kPriorities].first,
         "Need to solve this case ASAP", values[kEmployees].last, values[kCustomers].last},
    };
    for (int i = 0; i < 3; ++i) {
        const auto& call = calls[i];
        QString sql;
        trap.run(312 + 4 * i, [&] {
            sql = QStringLiteral("insert into Calls (Title,[Assigned To],[Opened By],[Opened "
                                 "Date],Status,Category,Priority,Comments,[Due Date],[Resolved "
                                 "By],[Resolved Date],Caller,[Call Time]) values ('") +
                  QString::fromLatin1(call.title) + QStringLiteral("',") + call.assignedTo +
                  QStringLiteral(",") + call.openedBy + QStringLiteral(",'") + today +
                  QStringLiteral("','") + quoted(call.status) + QStringLiteral("','") +
                  quoted(call.category) + QStringLiteral("','") + quoted(call.priority) +
                  QStringLiteral("','") + QString::fromLatin1(call.comments) +
                  QStringLiteral("','") + today + QStringLiteral("','") + call.resolvedBy +
                  QStringLiteral("',") + QStringLiteral("NULL") + QStringLiteral(",") +
                  call.caller + QStringLiteral(",'") + today + QStringLiteral("')");
        });
        trap.run(314 + 4 * i, [&] { SharedConnection().execute(sql); });
    }
    trap.run(324, [&] { LoadCalls(); });
}
