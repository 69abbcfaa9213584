#pragma once

#include <QSet>
#include <QString>
#include <QVector>

struct pg_result;

// The rows of one statement run on the database server, read from memory.
class ServerResult {
public:
    explicit ServerResult(pg_result* result, const QSet<qint64>& dateColumns);
    ~ServerResult();
    ServerResult(const ServerResult&) = delete;
    ServerResult& operator=(const ServerResult&) = delete;

    int rows() const;
    int columns() const;
    QString name(int column) const;
    bool isNull(int row, int column) const;
    // Whether the column holds dates (a column of the schema's date type).
    bool isDate(int column) const { return m_isDate.value(column); }
    bool isNumber(int column) const { return m_number.value(column) == 1; }
    bool isReal(int column) const { return m_number.value(column) == 2; }
    const char* text(int row, int column) const;
    int length(int row, int column) const;
    // Reads the columns as `first` reads them, so that every chunk of one answer agrees.
    void takeKinds(const ServerResult& first);

private:
    pg_result* m_result;
    QVector<bool> m_isDate;
    QVector<int> m_number; // 0 text, 1 whole number, 2 real number
};
