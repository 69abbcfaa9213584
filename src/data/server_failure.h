#pragma once

#include <QString>

struct pg_conn;
struct pg_result;

// The server's reason for a failed statement (or for the connection's failure, without a
// result) as one sentence: the plain cause first where the server's own words would leave a
// person guessing, then those words in brackets, then what to do.
QString ServerFailureText(const pg_result* result, pg_conn* conn);
