#include "records/call_import.h"

#include "data/connection.h"
#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/sql_text.h"
#include "records/call_columns.h"
#include "records/import_fields.h"

#include <QHash>
#include <new>

namespace {

// The values that go with each list value field: table, column.
struct ValueList {
    CallImport::Field field;
    const char* table;
};
constexpr ValueList kValueLists[] = {{CallImport::Status, "Status"},
                                     {CallImport::Category, "Categories"},
                                     {CallImport::Priority, "Priorities"}};

struct FieldInfo {
    const char* name;
    // Header names that give the field, written as normalized() writes them.
    const char* headers;
};
const FieldInfo kFieldInfo[CallImport::kFieldCount] = {
    {"Title", "title|subject|summary|issue"},
    {"Caller", "caller|customer|customername|client|contact"},
    {"Assigned To", "assignedto|assignedtoname|assignee|owner"},
    {"Opened By", "openedby|openedbyname|createdby|reporter"},
    {"Opened Date", "openeddate|opened|openedon|created|createddate|createdon"},
    {"Due Date", "duedate|due|dueon"},
    {"Status", "status|state"},
    {"Category", "category|type"},
    {"Priority", "priority"},
    {"Comments", "comments|comment|notes|description"},
    {"Resolved By", "resolvedby|resolvedbyname|closedby"},
    {"Resolved Date", "resolveddate|resolvedtime|resolved|resolvedon|closeddate|closed"},
};

bool isDateField(int field) {
    return field == CallImport::OpenedDate || field == CallImport::DueDate ||
           field == CallImport::ResolvedDate;
}
bool isEmployeeField(int field) {
    return field == CallImport::AssignedTo || field == CallImport::OpenedBy ||
           field == CallImport::ResolvedBy;
}
int valueListOf(int field) {
    for (int i = 0; i < 3; ++i) {
        if (kValueLists[i].field == field)
            return i;
    }
    return -1;
}

} // namespace

using namespace ImportFields;

QString CallImport::noMemory() {
    return QStringLiteral("There is not enough memory to import the calls of the file.");
}

int CallImport::valueField(int list) {
    return kValueLists[list].field;
}

QHash<QString, QString> CallImport::readValues(Connection& connection, int list) {
    QHash<QString, QString> values;
    Recordset records;
    records.open(QStringLiteral("select * from [%1]").arg(kValueLists[list].table), connection);
    while (!records.eof()) {
        const QString value = records.field(0).joined();
        values.insert(value.toCaseFolded(), value);
        records.moveNext();
    }
    return values;
}

QString CallImport::valueTable(int list) {
    return QString::fromLatin1(kValueLists[list].table);
}

QString CallImport::fieldName(int field) {
    return QString::fromLatin1(kFieldInfo[field].name);
}

bool CallImport::required(int field) {
    return field == Title || field == OpenedDate || field == DueDate;
}

CallImport::CallImport(const QString& path) {
    m_table = CsvRecords::readFile(path);
    matchColumns();
}

CallImport CallImport::fromBytes(const QByteArray& bytes) {
    CallImport import;
    import.m_table = CsvRecords::read(bytes);
    import.matchColumns();
    return import;
}

void CallImport::matchColumns() {
    QStringList exported;
    for (const char* caption : CallColumns::kCaptions)
        exported << QString::fromLatin1(caption);
    exported << QString::fromLatin1(CallColumns::kCommentsField);
    // The export of every call adds the names of the attachments, which are not read back.
    m_fromThisProgram =
        m_table.header == exported ||
        m_table.header ==
            exported + QStringList{QString::fromLatin1(CallColumns::kAttachmentsField)};
    m_columns.fill(-1);
    for (int field = 0; field < kFieldCount; ++field) {
        const QStringList names = QString::fromLatin1(kFieldInfo[field].headers).split('|');
        // The first header name in the field's list that a column has wins.
        for (const QString& name : names) {
            for (int column = 0; column < m_table.header.size(); ++column) {
                if (m_columns[field] < 0 && normalized(m_table.header.at(column)) == name)
                    m_columns[field] = column;
            }
        }
    }
}

void CallImport::setColumn(int field, int column) {
    m_columns.at(size_t(field)) = column >= 0 && column < m_table.header.size() ? column : -1;
}

bool CallImport::setColumn(int field, const QString& headerName) {
    int found = int(m_table.header.indexOf(headerName));
    for (int column = 0; found < 0 && column < m_table.header.size(); ++column) {
        if (normalized(m_table.header.at(column)) == normalized(headerName))
            found = column;
    }
    if (found < 0)
        return false;
    setColumn(field, found);
    return true;
}

QStringList CallImport::missingFields() const {
    QStringList missing;
    for (int field = 0; field < kFieldCount; ++field) {
        if (required(field) && m_columns[field] < 0)
            missing << fieldName(field);
    }
    return missing;
}

void CallImport::prepare(Connection& connection) {
    try {
        prepareCalls(connection);
    } catch (const std::bad_alloc&) {
        m_problems.clear();
        m_calls.clear();
        m_additions.clear();
        throw Failure(noMemory());
    }
}

void CallImport::prepareCalls(Connection& connection) {
    m_problems.clear();
    m_calls.clear();
    m_additions.clear();
    m_employees = readPeople(connection, QStringLiteral("Employees Extended"),
                             QStringLiteral("Employee Name"));
    m_customers = readPeople(connection, QStringLiteral("Customers Extended"),
                             QStringLiteral("Customer Name"));
    for (int list = 0; list < 3; ++list)
        m_values[size_t(list)] = readValues(connection, list);
    QHash<QString, qint64> newEmployees;
    QHash<QString, qint64> newCustomers;
    QHash<QString, QString> storedDates;
    const int columns = int(m_table.header.size());
    m_calls.reserve(m_table.records.size());
    for (const CsvRecords::Record& record : m_table.records) {
        auto refuse = [&](const QString& why) { m_problems.push_back({record.line, why}); };
        if (!record.problem.isEmpty()) {
            refuse(record.problem);
            continue;
        }
        if (record.fields.size() != columns) {
            refuse(QStringLiteral("it has %1 fields where the header line has %2")
                       .arg(record.fields.size())
                       .arg(columns));
            continue;
        }
        Call call;
        call.line = record.line;
        QString why;
        for (int field = 0; field < kFieldCount && why.isEmpty(); ++field) {
            if (m_columns[field] < 0)
                continue;
            QString text = record.fields.at(m_columns[field]);
            if (m_fromThisProgram)
                text = unescaped(text);
            if (hasControls(text))
                text = withoutControls(text);
            if (isDateField(field)) {
                if (text.trimmed().isEmpty())
                    continue;
                // A file names the same days many times over: each text is read once.
                auto known = storedDates.constFind(text);
                if (known == storedDates.constEnd()) {
                    const auto date = DateText::parse(text);
                    known = storedDates.insert(text, date ? DateText::toStored(*date) : QString());
                }
                if (known->isEmpty())
                    why = QStringLiteral("the %1 \"%2\" is not a date")
                              .arg(fieldName(field).toLower(), text);
                else
                    call.values[field] = *known;
                continue;
            }
            if (const int list = valueListOf(field); list >= 0 && !text.isEmpty()) {
                const QString folded = text.toCaseFolded();
                auto it = m_values[list].constFind(folded);
                if (it == m_values[list].constEnd()) {
                    it = m_values[list].insert(folded, text);
                    m_additions.push_back({fieldName(field), text});
                }
                text = *it;
            }
            if ((isEmployeeField(field) || field == Caller) && !text.isEmpty()) {
                const bool employee = field != Caller;
                const auto& known = employee ? m_employees : m_customers;
                auto& added = employee ? newEmployees : newCustomers;
                if (!findPerson(known, text) && !added.contains(text)) {
                    added.insert(text, 0);
                    m_additions.push_back(
                        {employee ? QStringLiteral("Employee") : QStringLiteral("Customer"), text});
                }
            }
            call.values[field] = text;
        }
        if (why.isEmpty()) {
            for (int field = 0; field < kFieldCount && why.isEmpty(); ++field) {
                if (required(field) && call.values[field].trimmed().isEmpty())
                    why = QStringLiteral("it has no %1").arg(fieldName(field).toLower());
            }
        }
        if (!why.isEmpty()) {
            refuse(why);
            continue;
        }
        m_calls.push_back(std::move(call));
    }
}

QStringList CallImport::shownCall(int index) const {
    const Call& call = m_calls.at(size_t(index));
    QStringList shown;
    for (int field = 0; field < kFieldCount; ++field) {
        const QString& value = call.values[field];
        if (isDateField(field) && !value.isEmpty())
            shown << DateText::format(*DateText::fromStored(value));
        else
            shown << value;
    }
    return shown;
}
