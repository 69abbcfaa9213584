#pragma once

#include <QString>
#include <initializer_list>

class QWidget;

// The tooltip of a command that a login which may only read the call log cannot use.
QString ReadOnlyLoginTip();

// Disables the commands that would write when the shared connection is a server login that
// may only read, each with ReadOnlyLoginTip() saying why; leaves them as they are otherwise.
void DisableWritingForReadOnlyLogin(std::initializer_list<QWidget*> commands);
