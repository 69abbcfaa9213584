#pragma once

#include <QString>
#include <stdexcept>

// A run-time failure with the description that the error report shows. Every layer signals
// failures by throwing this; nothing returns error codes.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toStdString()), m_description(description) {}
    const QString& description() const { return m_description; }

private:
    QString m_description;
};

// Descriptions read as one sentence: a capital first, one full stop at the end.
QString Sentence(const QString& text);
// "What failed: the cause." as one sentence; the cause may itself be a sentence.
QString SentenceWithCause(const QString& what, const QString& cause);
