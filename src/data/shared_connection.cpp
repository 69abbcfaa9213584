#include "data/shared_connection.h"

#include "data/failure.h"

#include <memory>

namespace {
std::unique_ptr<Connection>& holder() {
    static std::unique_ptr<Connection> connection;
    return connection;
}
} // namespace

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
}
