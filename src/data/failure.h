#pragma once

#include <QString>
#include <stdexcept>

// A run-time failure with the description that the error report shows. Every layer signals
// failures by throwing this; nothing returns error codes.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toStdString()), m_description(description) {}
    // A failure with a cause that many statements share (a closed database, an unwritable
    // settings file): the error trap reports one cause once per command and counts the
    // statements it stopped as `countedAs` ("settings", "statements").
    Failure(const QString& description, const QString& cause, const QString& countedAs)
        : std::runtime_error(description.toStdString()), m_description(description), m_cause(cause),
          m_countedAs(countedAs) {}
    const QString& description() const { return m_description; }
    // The shared cause; the description when there is none.
    const QString& cause() const { return m_cause.isEmpty() ? m_description : m_cause; }
    QString countedAs() const {
        return m_countedAs.isEmpty() ? QStringLiteral("statements") : m_countedAs;
    }

private:
    QString m_description;
    QString m_cause;
    QString m_countedAs;
};

// Descriptions read as one sentence: a capital first, one full stop at the end.
QString Sentence(const QString& text);
// "What failed: the cause." as one sentence; the cause may itself be a sentence.
QString SentenceWithCause(const QString& what, const QString& cause);
