#include "data/gathered_writes.h"

#include <cstring>
#include <mutex>
#include <sqlite3.h>

namespace GatheredWrites {
namespace {

// The file control that turns gathering on (*arg 1) or off (*arg 0, writing what is gathered).
constexpr int kGatherControl = 0x51570001;

struct File {
    sqlite3_file base;
    sqlite3_file* real; // the engine's own file, allocated right after this struct
    int scopes;         // gathering while above 0
    // The bytes gathered, to go at `start`; `failed` keeps the result of a gathered write that
    // failed, answered by every later sync until the engine's lock is given up (the transaction
    // is over), so that a transaction that lost a write can never be committed.
    char* buffer;
    int length;
    sqlite3_int64 start;
    int failed;
};

sqlite3_vfs g_vfs;
sqlite3_vfs* g_real = nullptr;
sqlite3_io_methods g_methods;

File* of(sqlite3_file* file) {
    return reinterpret_cast<File*>(file);
}

int flush(File* file) {
    if (file->length == 0)
        return SQLITE_OK;
    const int rc =
        file->real->pMethods->xWrite(file->real, file->buffer, file->length, file->start);
    file->length = 0;
    if (rc != SQLITE_OK && file->failed == SQLITE_OK)
        file->failed = rc;
    return rc;
}

int xClose(sqlite3_file* f) {
    File* file = of(f);
    const int flushed = flush(file);
    const int rc = file->real->pMethods ? file->real->pMethods->xClose(file->real) : SQLITE_OK;
    sqlite3_free(file->buffer);
    file->buffer = nullptr;
    return flushed != SQLITE_OK ? flushed : rc;
}

int xRead(sqlite3_file* f, void* data, int amount, sqlite3_int64 offset) {
    File* file = of(f);
    if (const int rc = flush(file))
        return rc;
    return file->real->pMethods->xRead(file->real, data, amount, offset);
}

int xWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    File* file = of(f);
    if (file->scopes == 0 || !file->buffer)
        return file->real->pMethods->xWrite(file->real, data, amount, offset);
    if (file->length > 0 &&
        (offset != file->start + file->length || file->length + amount > kBufferBytes)) {
        if (const int rc = flush(file))
            return rc;
    }
    if (amount >= kBufferBytes)
        return file->real->pMethods->xWrite(file->real, data, amount, offset);
    if (file->length == 0)
        file->start = offset;
    std::memcpy(file->buffer + file->length, data, size_t(amount));
    file->length += amount;
    return SQLITE_OK;
}

int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    File* file = of(f);
    if (const int rc = flush(file))
        return rc;
    return file->real->pMethods->xTruncate(file->real, size);
}

int xSync(sqlite3_file* f, int flags) {
    File* file = of(f);
    if (const int rc = flush(file))
        return rc;
    if (file->failed != SQLITE_OK)
        return file->failed;
    return file->real->pMethods->xSync(file->real, flags);
}

int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    File* file = of(f);
    if (const int rc = flush(file))
        return rc;
    return file->real->pMethods->xFileSize(file->real, size);
}

int xLock(sqlite3_file* f, int level) {
    File* file = of(f);
    if (const int rc = flush(file))
        return rc;
    return file->real->pMethods->xLock(file->real, level);
}

int xUnlock(sqlite3_file* f, int level) {
    File* file = of(f);
    const int flushed = flush(file);
    const int rc = file->real->pMethods->xUnlock(file->real, level);
    if (level <= SQLITE_LOCK_SHARED)
        file->failed = SQLITE_OK;
    return flushed != SQLITE_OK ? flushed : rc;
}

int xCheckReservedLock(sqlite3_file* f, int* reserved) {
    File* file = of(f);
    return file->real->pMethods->xCheckReservedLock(file->real, reserved);
}

int xFileControl(sqlite3_file* f, int op, void* arg) {
    File* file = of(f);
    if (op == kGatherControl) {
        // Scopes may nest (the files added together, and each file): gathering lasts until the
        // outermost one ends.
        const bool on = *static_cast<int*>(arg) != 0;
        if (on && !file->buffer) {
            file->buffer = static_cast<char*>(sqlite3_malloc(kBufferBytes));
            if (!file->buffer)
                return SQLITE_NOMEM;
        }
        const int rc = flush(file);
        file->scopes += on ? 1 : -1;
        if (file->scopes <= 0) {
            file->scopes = 0;
            sqlite3_free(file->buffer);
            file->buffer = nullptr;
        }
        return rc;
    }
    if (const int rc = flush(file))
        return rc;
    return file->real->pMethods->xFileControl(file->real, op, arg);
}

int xSectorSize(sqlite3_file* f) {
    File* file = of(f);
    return file->real->pMethods->xSectorSize(file->real);
}

int xDeviceCharacteristics(sqlite3_file* f) {
    File* file = of(f);
    return file->real->pMethods->xDeviceCharacteristics(file->real);
}

int xShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** address) {
    File* file = of(f);
    if (const int rc = flush(file))
        return rc;
    if (file->real->pMethods->iVersion < 2)
        return SQLITE_IOERR;
    return file->real->pMethods->xShmMap(file->real, region, size, extend, address);
}

int xShmLock(sqlite3_file* f, int offset, int n, int flags) {
    File* file = of(f);
    if (const int rc = flush(file))
        return rc;
    if (file->real->pMethods->iVersion < 2)
        return SQLITE_IOERR;
    return file->real->pMethods->xShmLock(file->real, offset, n, flags);
}

void xShmBarrier(sqlite3_file* f) {
    File* file = of(f);
    if (file->real->pMethods->iVersion >= 2)
        file->real->pMethods->xShmBarrier(file->real);
}

int xShmUnmap(sqlite3_file* f, int deleteFlag) {
    File* file = of(f);
    if (const int rc = flush(file))
        return rc;
    if (file->real->pMethods->iVersion < 2)
        return SQLITE_OK;
    return file->real->pMethods->xShmUnmap(file->real, deleteFlag);
}

int xFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** pointer) {
    File* file = of(f);
    if (const int rc = flush(file))
        return rc;
    if (file->real->pMethods->iVersion < 3) {
        *pointer = nullptr; // read as usual
        return SQLITE_OK;
    }
    return file->real->pMethods->xFetch(file->real, offset, amount, pointer);
}

int xUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* pointer) {
    File* file = of(f);
    if (file->real->pMethods->iVersion < 3)
        return SQLITE_OK;
    return file->real->pMethods->xUnfetch(file->real, offset, pointer);
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    File* file = of(f);
    std::memset(file, 0, sizeof(File));
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    const int rc = g_real->xOpen(g_real, name, file->real, flags, outFlags);
    // The engine calls xClose even after a failed open when pMethods is set.
    if (file->real->pMethods)
        file->base.pMethods = &g_methods;
    return rc;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir) {
    return g_real->xDelete(g_real, name, syncDir);
}
int xAccess(sqlite3_vfs*, const char* name, int flags, int* result) {
    return g_real->xAccess(g_real, name, flags, result);
}
int xFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return g_real->xFullPathname(g_real, name, size, out);
}
void* xDlOpen(sqlite3_vfs*, const char* name) {
    return g_real->xDlOpen(g_real, name);
}
void xDlError(sqlite3_vfs*, int size, char* message) {
    g_real->xDlError(g_real, size, message);
}
void (*xDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return g_real->xDlSym(g_real, handle, symbol);
}
void xDlClose(sqlite3_vfs*, void* handle) {
    g_real->xDlClose(g_real, handle);
}
int xRandomness(sqlite3_vfs*, int size, char* out) {
    return g_real->xRandomness(g_real, size, out);
}
int xSleep(sqlite3_vfs*, int microseconds) {
    return g_real->xSleep(g_real, microseconds);
}
int xCurrentTime(sqlite3_vfs*, double* now) {
    return g_real->xCurrentTime(g_real, now);
}
int xGetLastError(sqlite3_vfs*, int size, char* out) {
    return g_real->xGetLastError ? g_real->xGetLastError(g_real, size, out) : 0;
}
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now) {
    return g_real->xCurrentTimeInt64(g_real, now);
}

bool registerLayer() {
    g_real = sqlite3_vfs_find(nullptr);
    // Built on the engine's usual layer as it is; one older than this layer expects is left
    // alone.
    if (!g_real || g_real->iVersion < 2)
        return false;
    g_vfs = sqlite3_vfs{};
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = int(sizeof(File)) + g_real->szOsFile;
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = "quorvane-gathered";
    g_vfs.xOpen = xOpen;
    g_vfs.xDelete = xDelete;
    g_vfs.xAccess = xAccess;
    g_vfs.xFullPathname = xFullPathname;
    g_vfs.xDlOpen = xDlOpen;
    g_vfs.xDlError = xDlError;
    g_vfs.xDlSym = xDlSym;
    g_vfs.xDlClose = xDlClose;
    g_vfs.xRandomness = xRandomness;
    g_vfs.xSleep = xSleep;
    g_vfs.xCurrentTime = xCurrentTime;
    g_vfs.xGetLastError = xGetLastError;
    g_vfs.xCurrentTimeInt64 = xCurrentTimeInt64;

    g_methods = sqlite3_io_methods{};
    g_methods.iVersion = 3;
    g_methods.xClose = xClose;
    g_methods.xRead = xRead;
    g_methods.xWrite = xWrite;
    g_methods.xTruncate = xTruncate;
    g_methods.xSync = xSync;
    g_methods.xFileSize = xFileSize;
    g_methods.xLock = xLock;
    g_methods.xUnlock = xUnlock;
    g_methods.xCheckReservedLock = xCheckReservedLock;
    g_methods.xFileControl = xFileControl;
    g_methods.xSectorSize = xSectorSize;
    g_methods.xDeviceCharacteristics = xDeviceCharacteristics;
    g_methods.xShmMap = xShmMap;
    g_methods.xShmLock = xShmLock;
    g_methods.xShmBarrier = xShmBarrier;
    g_methods.xShmUnmap = xShmUnmap;
    g_methods.xFetch = xFetch;
    g_methods.xUnfetch = xUnfetch;
    return sqlite3_vfs_register(&g_vfs, 0) == SQLITE_OK;
}

} // namespace

const char* VfsName() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] { registered = registerLayer(); });
    return registered ? g_vfs.zName : nullptr;
}

Scope::Scope(sqlite3* db) : m_db(db) {
    int on = 1;
    m_on = sqlite3_file_control(m_db, "main", kGatherControl, &on) == SQLITE_OK;
}

Scope::~Scope() {
    finish();
}

int Scope::finish() {
    if (!m_on)
        return SQLITE_OK;
    m_on = false;
    int off = 0;
    return sqlite3_file_control(m_db, "main", kGatherControl, &off);
}

} // namespace GatheredWrites
