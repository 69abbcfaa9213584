// The engine functions that the database file needs, as a loadable SQLite extension, so that
// the sqlite3 tool and other SQLite programs can read and write the file:
//   sqlite3 dbData.mdb
//   sqlite> .load /usr/libexec/quorvane/quorvane-sqlite
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include "data/engine_functions.h"

extern "C" __attribute__((visibility("default"))) int
sqlite3_extension_init(sqlite3* db, char** /*errorMessage*/, const sqlite3_api_routines* api) {
    SQLITE_EXTENSION_INIT2(api);
    RegisterEngineFunctions(db);
    return SQLITE_OK;
}
