#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

// One field value as a query returns it: Null, a whole number, a real number, text or a
// date. Dates carry no time zone: they are calendar dates with an optional time of day.
class Value {
public:
    enum class Type { Null, Integer, Real, Text, Date };

    Value() = default;
    static Value integer(qint64 v);
    static Value real(double v);
    static Value text(const QString& v);
    static Value date(const QDateTime& v);

    Type type() const { return m_type; }
    bool isNull() const { return m_type == Type::Null; }

    // The value joined to the empty text: Null gives "", a date its date text.
    QString joined() const;
    // The value as text where Null is not allowed: a Null fails with "Invalid use of Null".
    QString toText() const;
    // Whole number; Null and text that is not a number fail.
    qint64 toInteger() const;
    // Date value; Null and values that are not dates fail.
    QDateTime toDate() const;

private:
    Type m_type = Type::Null;
    qint64 m_integer = 0;
    double m_real = 0;
    QString m_text;
    QDateTime m_date;
};
