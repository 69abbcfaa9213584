#pragma once

#include "data/connection.h"

#include <memory>

// The one connection that every window uses, alive from start-up to shutdown.
// SharedConnection() fails while there is none.
Connection& SharedConnection();
bool HasSharedConnection();
void CreateSharedConnection();
void ReleaseSharedConnection();

class DatabaseLock;
// Keeps `lock` (the window's hold on the local file) for as long as the shared connection
// lives: it goes with ReleaseSharedConnection().
void KeepWithSharedConnection(std::unique_ptr<DatabaseLock> lock);
