#pragma once

#include <QString>

// The schema script of a server database (schema_server.sql), built into the program.
const char* ServerSchemaScript();

// Installs the call log's tables and saved queries into the empty database that `uri` names.
// A database that holds tables or views already is refused and left as it is. The roles
// quorvane_writer (reads and changes rows) and quorvane_reader (reads) are made where missing
// and granted the call log.
void InstallServerSchema(const QString& uri);
