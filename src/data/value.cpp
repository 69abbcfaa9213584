#include "data/value.h"

#include "data/date_text.h"
#include "data/failure.h"

Value Value::integer(qint64 v) {
    Value value;
    value.m_type = Type::Integer;
    value.m_integer = v;
    return value;
}

Value Value::real(double v) {
    Value value;
    value.m_type = Type::Real;
    value.m_real = v;
    return value;
}

Value Value::text(const QString& v) {
    Value value;
    value.m_type = Type::Text;
    value.m_text = v;
    return value;
}

Value Value::date(const QDateTime& v) {
    Value value;
    value.m_type = Type::Date;
    value.m_date = v;
    return value;
}

QString Value::joined() const {
    switch (m_type) {
    case Type::Null:
        return QString();
    case Type::Integer:
        return QString::number(m_integer);
    case Type::Real:
        return QString::number(m_real, 'g', 15);
    case Type::Text:
        return m_text;
    case Type::Date:
        return DateText::format(m_date);
    }
    return QString();
}

QString Value::toText() const {
    if (isNull())
        throw Failure(QStringLiteral("Invalid use of Null"));
    return joined();
}

qint64 Value::toInteger() const {
    switch (m_type) {
    case Type::Integer:
        return m_integer;
    case Type::Real:
        return qRound64(m_real);
    case Type::Text: {
        bool ok = false;
        const qint64 v = m_text.trimmed().toLongLong(&ok);
        if (ok)
            return v;
        break;
    }
    case Type::Null:
        throw Failure(QStringLiteral("Invalid use of Null"));
    case Type::Date:
        break;
    }
    throw Failure(QStringLiteral("Type mismatch"));
}

QDateTime Value::toDate() const {
    if (m_type == Type::Date)
        return m_date;
    if (m_type == Type::Null)
        throw Failure(QStringLiteral("Invalid use of Null"));
    if (m_type == Type::Text) {
        if (auto parsed = DateText::parse(m_text))
            return *parsed;
    }
    throw Failure(QStringLiteral("Type mismatch"));
}
