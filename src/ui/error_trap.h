#pragma once

#include <QString>
#include <functional>

// The common error trap of a procedure. Each numbered statement runs through run() or test();
// a failure shows the error report box and the procedure goes on with its next statement.
//
//   ErrorTrap trap("Form1", "PushButton3_Click");
//   if (trap.test(100, [&] { return rows() == 0; })) return;
//   trap.run(104, [&] { SharedConnection().execute(sql); });
class ErrorTrap {
public:
    ErrorTrap(const char* objectName, const char* procedureName);

    // Runs one numbered statement; answers false when it failed (and was reported).
    bool run(int line, const std::function<void()>& statement);
    // Evaluates the test of a conditional block. A failing test is reported and answers true,
    // so that the block is entered, as after any failure the next statement in reading order
    // is the block's first one.
    bool test(int line, const std::function<bool()>& condition);

    int failures() const { return m_failures; }
    // The location text of this procedure: "in Quorvane2021/08/31.<object>.<procedure> ".
    QString location() const;

private:
    void report(int line, const QString& description);

    QString m_object;
    QString m_procedure;
    int m_failures = 0;
};

// The text of the error report box for a failure of `statementNumber` in `location`.
QString ErrorReportText(const QString& description, const QString& location, int statementNumber);
// Shows the error report box.
void ErrorReport(const QString& description, const QString& location, int statementNumber);

// Runs `statement` and ignores any failure (for quiet sections). Answers whether it succeeded.
bool Quietly(const std::function<void()>& statement);
