#pragma once

struct sqlite3;

// The engine writes a database file a page (4 KiB) at a time, one system call each; for a long
// run of new pages (the pieces of a large attachment) the calls cost several times what copying
// the bytes does. This layer between the engine and its files gathers such a run, while asked
// to, into writes of up to kBufferBytes (as fast as larger ones, and within what the engine's
// own layer writes in one call): a write that follows the one before in the file joins
// it, and anything else (a write elsewhere, a read, the file's size, a sync, a lock or unlock,
// any other request) writes what was gathered first. The writes reach the file in the same order
// and before every sync, so what the engine's journal guarantees holds unchanged.
namespace GatheredWrites {

constexpr int kBufferBytes = 64 * 1024;

// The name of the layer, for sqlite3_open_v2() (registered at the first call; null when the
// engine offers no file layer to build on, and files are then opened as usual).
const char* VfsName();

// While alive, the writes of the main file of `db` are gathered (nothing happens when `db` was
// not opened through the layer); scopes may nest. finish() writes what is gathered and ends the
// scope; it answers the engine's result code of that write (SQLITE_OK when it was written).
class Scope {
public:
    explicit Scope(sqlite3* db);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    int finish();

private:
    sqlite3* m_db;
    bool m_on = false;
};

} // namespace GatheredWrites
