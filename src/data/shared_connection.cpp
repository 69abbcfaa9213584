#include "data/shared_connection.h"

#include "data/database_lock.h"
#include "data/failure.h"

#include <memory>

namespace {
std::unique_ptr<Connection>& holder() {
    static std::unique_ptr<Connection> connection;
    return connection;
}
std::unique_ptr<DatabaseLock>& lockHolder() {
    static std::unique_ptr<DatabaseLock> lock;
    return lock;
}
} // namespace

void KeepWithSharedConnection(std::unique_ptr<DatabaseLock> lock) {
    lockHolder() = std::move(lock);
}

Connection& SharedConnection() {
    if (!holder())
        throw Failure(QStringLiteral("Object variable or With block variable not set"));
    return *holder();
}

bool HasSharedConnection() {
    return holder() != nullptr;
}

void CreateSharedConnection() {
    holder() = std::make_unique<Connection>();
}

void ReleaseSharedConnection() {
    holder().reset();
    lockHolder().reset();
}
