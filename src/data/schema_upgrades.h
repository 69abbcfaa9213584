#pragma once

#include <QString>

struct sqlite3;

// Upgrades of the database file's schema. Each step brings a file of one version to the next;
// a file of an earlier version is brought up to SchemaVersion() on open, in one transaction,
// after a backup copy of it has been written beside it. A new schema version adds one step at
// the end of the list in schema_upgrades.cpp and raises user_version in schema.sql.
int SchemaVersion();

// The part of schema.sql that adds the history of the calls and keeps deleted rows (built in).
const char* HistorySchemaScript();

// The part of schema.sql that indexes the comments of the calls (built in).
const char* CommentsIndexSchemaScript();

// The part of schema.sql that adds the indexes the summary counts from (built in).
const char* SummaryIndexesSchemaScript();

// The part of schema.sql that keeps a deleted call's entries in the comments' index (built in).
const char* KeptCommentsSchemaScript();

// The part of schema.sql that indexes the comments folded for finding, without their places
// (built in).
const char* FoldedCommentsSchemaScript();

// The part of schema.sql that keeps files with the calls (built in).
const char* AttachmentsSchemaScript();

// Where the backup before upgrading a file of `version` goes: beside the file.
QString UpgradeBackupPath(const QString& path, int version);

// Brings the open database `db` (the file `path`, of schema `version`) to SchemaVersion().
// Fails with a description naming the cause; the file is then as it was.
void UpgradeSchema(sqlite3* db, const QString& path, int version);
