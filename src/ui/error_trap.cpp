#include "ui/error_trap.h"

#include "data/failure.h"
#include "data/shared_connection.h"
#include "data/told_failure.h"
#include "ui/prompts.h"

#include <QThread>
#include <exception>
#include <vector>

// What a failing statement threw.
struct TrappedFailure {
    QString description;
    QString cause;
    QString countedAs;
    // 0 an error report, 1 a plain message, 2 told already.
    int telling = 0;
};

namespace {

// The traps of the procedures running now, the outermost first.
thread_local std::vector<ErrorTrap*> activeTraps;

// Runs `fn`; on failure stores what it threw and answers false.
bool attempt(const std::function<void()>& fn, TrappedFailure* failure) {
    try {
        fn();
        return true;
    } catch (const ToldFailure& thrown) {
        *failure = {thrown.description(), thrown.cause(), thrown.countedAs(),
                    thrown.alreadyTold() ? 2 : 1};
    } catch (const Failure& thrown) {
        *failure = {thrown.description(), thrown.cause(), thrown.countedAs(), 0};
    } catch (const std::exception& e) {
        const QString description = QString::fromLocal8Bit(e.what());
        *failure = {description, description, QStringLiteral("statements"), 0};
    }
    return false;
}

} // namespace

ErrorTrap::ErrorTrap(const char* objectName, const char* procedureName)
    : m_object(QString::fromLatin1(objectName)), m_procedure(QString::fromLatin1(procedureName)),
      m_loopLevel(QThread::currentThread()->loopLevel()) {
    activeTraps.push_back(this);
    // A new command may find the database that would not open usable again.
    if (&outermost() == this && HasSharedConnection())
        SharedConnection().allowRetry();
}

ErrorTrap::~ErrorTrap() {
    if (!activeTraps.empty() && activeTraps.back() == this)
        activeTraps.pop_back();
    flush();
}

ErrorTrap& ErrorTrap::outermost() {
    for (ErrorTrap* trap : activeTraps) {
        if (trap->m_loopLevel == m_loopLevel)
            return *trap;
    }
    return *this;
}

QString ErrorTrap::location() const {
    return QStringLiteral("in Quorvane2021/08/31.") + m_object + QLatin1Char('.') + m_procedure +
           QLatin1Char(' ');
}

bool ErrorTrap::run(int line, const std::function<void()>& statement) {
    TrappedFailure failure;
    if (attempt(statement, &failure))
        return true;
    report(line, failure);
    return false;
}

bool ErrorTrap::test(int line, const std::function<bool()>& condition) {
    bool result = false;
    TrappedFailure failure;
    if (attempt([&] { result = condition(); }, &failure))
        return result;
    report(line, failure);
    return true;
}

void ErrorTrap::noteReported(const QString& cause) {
    ErrorTrap& command = outermost();
    if (!command.m_reportedCauses.contains(cause))
        command.m_reportedCauses << cause;
}

void ErrorTrap::report(int line, const TrappedFailure& failure) {
    ++m_failures;
    if (failure.telling == 2)
        return;
    ErrorTrap& command = outermost();
    if (command.m_pending && command.m_pending->cause == failure.cause) {
        ++command.m_pending->more;
        return;
    }
    if (command.m_reportedCauses.contains(failure.cause))
        return;
    command.flush();
    command.m_reportedCauses << failure.cause;
    // A plain message has no place in the program to name.
    command.m_pending =
        Pending{line,          failure.description, failure.telling == 1 ? QString() : location(),
                failure.cause, failure.countedAs,   0};
}

void ErrorTrap::flush() {
    if (!m_pending)
        return;
    const Pending pending = *m_pending;
    m_pending.reset();
    if (pending.location.isEmpty()) {
        MsgBox(pending.description, Prompts::Exclamation);
        return;
    }
    ErrorReport(pending.description, pending.location, pending.line, pending.more,
                pending.countedAs);
}

void AnswerEveryPress(const std::function<void()>& work) {
    try {
        work();
    } catch (const ToldFailure& told) {
        if (!told.alreadyTold())
            throw;
        throw ToldFailure(told.description(), told.cause(), false);
    }
}

void ShowPendingErrorReports() {
    const std::vector<ErrorTrap*> traps = activeTraps;
    for (ErrorTrap* trap : traps)
        trap->flush();
}

QString ErrorReportText(const QString& description, const QString& location, int statementNumber,
                        int more, const QString& countedAs) {
    QString text = description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
                   QString::number(statementNumber);
    if (more > 0)
        text += QStringLiteral("\r\n\u2026 and %1 more %2")
                    .arg(more)
                    .arg(countedAs.isEmpty() ? QStringLiteral("statements") : countedAs);
    return text + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QStringLiteral(QUORVANE_SUPPORT_EMAIL);
}

void ErrorReport(const QString& description, const QString& location, int statementNumber, int more,
                 const QString& countedAs) {
    MsgBox(ErrorReportText(description, location, statementNumber, more, countedAs),
           Prompts::Exclamation, QStringLiteral("Application Error"));
}

bool Quietly(const std::function<void()>& statement) {
    TrappedFailure ignored;
    return attempt(statement, &ignored);
}
