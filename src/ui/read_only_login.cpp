#include "ui/read_only_login.h"

#include "data/connection.h"
#include "data/shared_connection.h"

#include <QWidget>

QString ReadOnlyLoginTip() {
    return QStringLiteral("This login may only read the call log, so this command is not "
                          "available. To change calls, ask the administrator of the database "
                          "server to grant this login the role quorvane_writer.");
}

void DisableWritingForReadOnlyLogin(std::initializer_list<QWidget*> commands) {
    if (!HasSharedConnection())
        return;
    const Connection& connection = SharedConnection();
    if (connection.state() == 0 || !connection.server() || !connection.readOnly())
        return;
    for (QWidget* command : commands) {
        command->setEnabled(false);
        command->setToolTip(ReadOnlyLoginTip());
    }
}
