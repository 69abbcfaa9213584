#pragma once

#include "data/failure.h"

// A failure that the error trap tells without the error report around it: its cause is
// nothing the program did wrong (a database server that cannot be reached), and the person
// is told what happens now. `alreadyTold` marks a failure whose cause was told already and
// still holds: the trap tells it no more.
class ToldFailure : public Failure {
public:
    ToldFailure(const QString& description, const QString& cause, bool alreadyTold)
        : Failure(description, cause, QStringLiteral("statements")), m_alreadyTold(alreadyTold) {}
    bool alreadyTold() const { return m_alreadyTold; }

private:
    bool m_alreadyTold;
};
