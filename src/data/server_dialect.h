#pragma once

#include <QString>

// Turns a statement of the program's dialect into one the database server accepts:
// - [bracketed names] become quoted names in lower case, the case in which the server's
//   schema is written and to which it folds unquoted names; text in single quotes is left
//   exactly as it is;
// - First(t.c) and Last(t.c) of the calls and contact tables read the rows in the order of
//   their ids, the order in which they were stored (the value lists keep that order by
//   themselves).
QString ServerStatement(const QString& sql);
