#pragma once

#include "data/failure.h"

#include <QString>

struct pg_conn;
struct pg_result;

// The server's reason for a failed statement (or for the connection's failure, without a
// result) as one sentence: the plain cause first where the server's own words would leave a
// person guessing, then those words in brackets, then what to do.
QString ServerFailureText(const pg_result* result, pg_conn* conn);

// A transaction refused at its end because a row it wrote names one that does not exist (the
// deferred checks of what a call names): `constraint` is the check's name, such as
// "calls_assigned_to".
class ReferenceRefused : public Failure {
public:
    ReferenceRefused(const QString& description, const QString& constraint)
        : Failure(description), m_constraint(constraint) {}
    const QString& constraint() const { return m_constraint; }

private:
    QString m_constraint;
};
