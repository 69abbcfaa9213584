#pragma once

#include <QString>

class ServerLink;

// The part of schema_server_history.sql that adds the history of the calls and keeps deleted
// rows.
const char* ServerHistorySchemaScript();

// The part of schema_server_history.sql that keeps files with the calls.
const char* ServerAttachmentsSchemaScript();

// The part of schema_server.sql that announces the IDs of the calls each statement changed.
const char* ServerAnnouncementsSchemaScript();
// The part of schema_server.sql that folds the comments for finding (built in).
const char* ServerFoldedCommentsSchemaScript();
// The part of schema_server.sql that keeps dates sent in the stored form as they are.
const char* ServerQuickDatesSchemaScript();
// The part of schema_server_history.sql that writes the history of the calls.
const char* ServerHistoryWriterSchemaScript();

// Makes every index of the call log where missing (the comments' index only on a server that
// offers its extension), for the login that owns the call log.
QString ServerIndexesScript();

// Lets the writers' logins add to the history and the kept copies only through the program's
// triggers, which run as the owner of the call log, and change neither the history nor the
// schema's version.
const char* ServerAuditScript();

// The schema version of the call log on a server. It counts its own steps: a change that only
// the local file needs (its comments' index) leaves the call logs, and the desks of the version
// before that share them, as they are.
int ServerSchemaVersion();

// Brings the call log on the server, of schema `version`, up to ServerSchemaVersion() in one
// transaction, step by step as the local file is brought up; fails with the cause and leaves
// it as it was.
void UpgradeServerSchema(ServerLink& link, int version);
