// Builds the empty template database from the schema script: make_blank_db SCHEMA.sql OUT.mdb
#include "data/engine_functions.h"

#include <cstdio>
#include <fstream>
#include <sqlite3.h>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s schema.sql output.mdb\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream script;
    script << in.rdbuf();
    const std::string output = argv[2];
    const std::string temporary = output + ".tmp";
    std::remove(temporary.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(temporary.c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s\n", temporary.c_str());
        return 1;
    }
    // The schema names the engine's own collation and functions.
    RegisterEngineFunctions(db);
    char* error = nullptr;
    if (sqlite3_exec(db, script.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "schema error: %s\n", error ? error : "?");
        sqlite3_free(error);
        sqlite3_close(db);
        return 1;
    }
    sqlite3_close(db);
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
