#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The common error trap of a procedure. Each numbered statement runs through run() or test();
// a failure shows the error report box and the procedure goes on with its next statement.
//
// One cause is reported once per command: the trap that a user's command opens first (the
// outermost at its level of event loop; a modal window's buttons are commands of their own)
// collects the reports of every procedure it calls. A failure whose cause was
// reported already in this command is counted, not shown again; the box appears when a
// different failure follows, before any other box or window, or when the command ends, and
// names how many more statements the cause stopped ("... and 12 more settings"). The first
// trap of a command also lets the shared connection try again to open a database that
// failed to open.
//
//   ErrorTrap trap("Form1", "PushButton3_Click");
//   if (trap.test(100, [&] { return rows() == 0; })) return;
//   trap.run(104, [&] { SharedConnection().execute(sql); });
struct TrappedFailure;

class ErrorTrap {
public:
    ErrorTrap(const char* objectName, const char* procedureName);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Runs one numbered statement; answers false when it failed (and was reported).
    bool run(int line, const std::function<void()>& statement);
    // Evaluates the test of a conditional block. A failing test is reported and answers true,
    // so that the block is entered, as after any failure the next statement in reading order
    // is the block's first one.
    bool test(int line, const std::function<bool()>& condition);

    int failures() const { return m_failures; }
    // The location text of this procedure: "in Quorvane2021/08/31.<object>.<procedure> ".
    QString location() const;

    // Marks `cause` as told to the user already in this command (by a box of its own), so
    // that the statements it stops are not reported again.
    void noteReported(const QString& cause);

private:
    struct Pending {
        int line = 0;
        QString description;
        QString location;
        QString cause;
        QString countedAs;
        int more = 0;
    };
    void report(int line, const TrappedFailure& failure);
    void flush();
    ErrorTrap& outermost();

    QString m_object;
    QString m_procedure;
    int m_failures = 0;
    int m_loopLevel = 0;
    // Kept by the outermost trap of a command.
    QStringList m_reportedCauses;
    std::optional<Pending> m_pending;

    friend void ShowPendingErrorReports();
};

// Runs `work` for a press of a button that saves: a failure whose cause was told already (the
// server is still down) is told again, once for this press, so that every press answers.
void AnswerEveryPress(const std::function<void()>& work);

// Shows the report that the current command holds back, if any. Every box and modal window
// calls this first, so that reports keep their order with what follows them.
void ShowPendingErrorReports();

// The text of the error report box for a failure of `statementNumber` in `location`.
// `more` statements stopped by the same cause are named after the line ("... and 12 more
// settings").
QString ErrorReportText(const QString& description, const QString& location, int statementNumber,
                        int more = 0, const QString& countedAs = QString());
// Shows the error report box.
void ErrorReport(const QString& description, const QString& location, int statementNumber,
                 int more = 0, const QString& countedAs = QString());

// Runs `statement` and ignores any failure (for quiet sections). Answers whether it succeeded.
bool Quietly(const std::function<void()>& statement);
