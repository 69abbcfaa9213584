#include "ui/error_trap.h"

#include "data/failure.h"
#include "ui/prompts.h"

#include <exception>

namespace {

// Runs `fn`; on failure stores its description and answers false.
bool attempt(const std::function<void()>& fn, QString* description) {
    try {
        fn();
        return true;
    } catch (const Failure& failure) {
        *description = failure.description();
    } catch (const std::exception& e) {
        *description = QString::fromLocal8Bit(e.what());
    }
    return false;
}

} // namespace

ErrorTrap::ErrorTrap(const char* objectName, const char* procedureName)
    : m_object(QString::fromLatin1(objectName)), m_procedure(QString::fromLatin1(procedureName)) {}

QString ErrorTrap::location() const {
    return QStringLiteral("in Quorvane2021/08/31.") + m_object + QLatin1Char('.') + m_procedure +
           QLatin1Char(' ');
}

bool ErrorTrap::run(int line, const std::function<void()>& statement) {
    QString description;
    if (attempt(statement, &description))
        return true;
    report(line, description);
    return false;
}

bool ErrorTrap::test(int line, const std::function<bool()>& condition) {
    bool result = false;
    QString description;
    if (attempt([&] { result = condition(); }, &description))
        return result;
    report(line, description);
    return true;
}

void ErrorTrap::report(int line, const QString& description) {
    ++m_failures;
    ErrorReport(description, location(), line);
}

QString ErrorReportText(const QString& description, const QString& location, int statementNumber) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(statementNumber) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QStringLiteral(QUORVANE_SUPPORT_EMAIL);
}

void ErrorReport(const QString& description, const QString& location, int statementNumber) {
    MsgBox(ErrorReportText(description, location, statementNumber), Prompts::Exclamation,
           QStringLiteral("Application Error"));
}

bool Quietly(const std::function<void()>& statement) {
    QString ignored;
    return attempt(statement, &ignored);
}
