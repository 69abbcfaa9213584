#pragma once

#include "records/csv_records.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

class Connection;

// Calls brought in from a CSV file: the program's own export, or a spreadsheet whose columns
// are matched to the call's fields by their header names. Reading and checking writes
// nothing; write() adds the people and list values that do not exist yet and every readable
// call in one transaction, or nothing at all.
class CallImport {
public:
    enum Field {
        Title,
        Caller,
        AssignedTo,
        OpenedBy,
        OpenedDate,
        DueDate,
        Status,
        Category,
        Priority,
        Comments,
        ResolvedBy,
        ResolvedDate,
        kFieldCount
    };
    // The field's name as the list and the export head its column.
    static QString fieldName(int field);
    // Fields that every call must have.
    static bool required(int field);

    // Reads the file and matches its columns to the fields by their header names. A file that
    // cannot be read, or has no header line, fails.
    explicit CallImport(const QString& path);
    // The same from the text of a file.
    static CallImport fromBytes(const QByteArray& bytes);

    const QStringList& header() const { return m_table.header; }
    QChar separator() const { return m_table.separator; }
    // The file is an export of this program: every column of the export, in its order.
    bool fromThisProgram() const { return m_fromThisProgram; }
    // The column (0-based) that gives `field`, or -1.
    int column(int field) const { return m_columns.at(size_t(field)); }
    void setColumn(int field, int column);
    // Matches a column by its header name; false when no column has that name.
    bool setColumn(int field, const QString& headerName);
    // The names of the required fields that no column gives.
    QStringList missingFields() const;
    int recordCount() const { return int(m_table.records.size()); }

    // Reads every record under the current columns and looks up the people and list values
    // they name. Database failures throw.
    void prepare(Connection& connection);

    struct Problem {
        int line;
        QString why;
    };
    // The records that cannot be read, by line, in the order of the file.
    const std::vector<Problem>& problems() const { return m_problems; }

    // The calls that will be stored: their number, the line each begins on, and each one's
    // fields as they will be shown (people by name, dates in the locale's form).
    int callCount() const { return int(m_calls.size()); }
    int lineOf(int call) const { return m_calls.at(size_t(call)).line; }
    QStringList shownCall(int call) const;

    // People and list values that the calls name and that do not exist yet: "Employee",
    // "Customer", "Status", "Category" or "Priority", and the name or value.
    struct Addition {
        QString kind;
        QString text;
    };
    const std::vector<Addition>& additions() const { return m_additions; }

    // Writes the additions and the calls in one transaction; `progress` (calls written, total)
    // may cancel by answering false, which writes nothing. Answers the calls written, or -1
    // when cancelled. On a failure nothing is written and the failure is thrown.
    int write(Connection& connection, const std::function<bool(int, int)>& progress = {});

private:
    CallImport() = default;
    void matchColumns();
    void prepareCalls(Connection& connection);
    int writeCalls(Connection& connection, const std::function<bool(int, int)>& progress);
    // The calls that name `text` in `field` name it as the list spells it, `spelling`: a
    // value added since the file was read, in other capitals.
    void respell(int field, const QString& text, const QString& spelling);
    static QString noMemory();
    // The status, category and priority lists (0, 1, 2): the field, the table, and the values
    // there now, by their folded form.
    static int valueField(int list);
    static QString valueTable(int list);
    static QHash<QString, QString> readValues(Connection& connection, int list);

    struct Call {
        int line = 0;
        std::array<QString, kFieldCount> values; // dates in the stored form
    };

    CsvRecords::Table m_table;
    bool m_fromThisProgram = false;
    std::array<int, kFieldCount> m_columns{};
    std::vector<Problem> m_problems;
    std::vector<Call> m_calls;
    std::vector<Addition> m_additions;
    // The ids of the people named (by their names as the file gives them; new people get
    // theirs when written) and the list values' stored spelling by their folded form.
    QHash<QString, qint64> m_employees;
    QHash<QString, qint64> m_customers;
    std::array<QHash<QString, QString>, 3> m_values;
};
