#pragma once

// Helpers of the database suites: connection strings, the failure a step throws, and rows
// written as the windows write them.

#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "data/value.h"
#include "test_support.h"

#include <QString>

inline QString connectionStringFor(const QString& path) {
    return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + path +
           QStringLiteral(";JET OLEDB:Database Password=");
}

// The description of the failure that `fn` throws; fails the test when nothing is thrown.
// A description that reads as one sentence: one full stop at its end, none before a bracket
// or a colon.
inline bool isOneSentence(const QString& text) {
    return text.endsWith(QLatin1Char('.')) && !text.contains(".)") && !text.contains("..") &&
           !text.contains(".:") && !text.contains(".;");
}

// The value of `field` in the first row of `sql`.
inline Value firstValue(const QString& sql, const QString& field) {
    Recordset records;
    records.open(sql, SharedConnection(), Recordset::kStatic, Recordset::kReadOnly);
    if (records.eof())
        throw Failure(QStringLiteral("no row for: ") + sql);
    return records.field(field);
}

// A call as the call editor writes it; dates are date text, ids bare, absent values NULL.
inline QString insertCall(const QString& title, const QString& assignedTo, const QString& openedBy,
                          const QString& resolvedBy, const QString& resolvedDate,
                          const QString& caller) {
    const QString today = DateText::format(DateText::today());
    return QStringLiteral("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],"
                          "Status,Category,Priority,Comments,[Due Date],[Resolved By],"
                          "[Resolved Date],Caller,[Call Time]) values ('") +
           title + "'," + assignedTo + "," + openedBy + ",'" + today +
           "','In process','Main Category','High','Some comments','" + today + "'," + resolvedBy +
           "," + resolvedDate + "," + caller + ",'" + today + "')";
}

inline void addPerson(const QString& table, const QString& first, const QString& last) {
    Exec("insert into " + table +
         " ([First Name],[Last Name],[E-mail Address],Company,[Job Title]) values ('" + first +
         "','" + last + "','" + first.toLower() + "@example.com','ACME','Manager')");
}
