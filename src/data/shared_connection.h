#pragma once

#include "data/connection.h"

// The one connection that every window uses, alive from start-up to shutdown.
// SharedConnection() fails while there is none.
Connection& SharedConnection();
bool HasSharedConnection();
void CreateSharedConnection();
void ReleaseSharedConnection();
