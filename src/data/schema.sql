-- The empty database that the program copies on first run: six tables and five saved
-- queries. Dates are stored as text "yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss"; the triggers turn
-- the date text that statements carry into that form and refuse text that is not a date.
-- user_version records the schema version; schema_upgrades.cpp brings the file of an
-- earlier version up to this one, step by step.

PRAGMA user_version = 8;

CREATE TABLE Calls (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Title TEXT,
    [Assigned To] INTEGER CHECK (typeof([Assigned To]) IN ('integer', 'null')),
    [Opened By] INTEGER CHECK (typeof([Opened By]) IN ('integer', 'null')),
    [Opened Date] DATETIME,
    Status TEXT,
    Category TEXT,
    Priority TEXT,
    Comments TEXT,
    [Due Date] DATETIME,
    [Resolved By] INTEGER CHECK (typeof([Resolved By]) IN ('integer', 'null')),
    [Resolved Date] DATETIME,
    Caller INTEGER CHECK (typeof(Caller) IN ('integer', 'null')),
    [Call Time] DATETIME
);

CREATE INDEX CallsByStatus ON Calls (Status);
CREATE INDEX CallsByCategory ON Calls (Category);
CREATE INDEX CallsByPriority ON Calls (Priority);
CREATE INDEX CallsByAssignedTo ON Calls ([Assigned To]);
CREATE INDEX CallsByOpenedBy ON Calls ([Opened By]);
CREATE INDEX CallsByCaller ON Calls (Caller);

-- The summary counts the open calls from the first index alone, and the calls opened and
-- resolved in recent weeks from the other two, without reading the table. The build takes the
-- part between the two markers as the upgrade of a file of schema 4.
-- [summary indexes]
CREATE INDEX CallsOpen ON Calls (Status, Priority, [Assigned To], [Due Date], [Resolved Date])
    WHERE [Resolved Date] IS NULL;
CREATE INDEX CallsByOpenedDate ON Calls ([Opened Date]);
CREATE INDEX CallsByResolvedDate ON Calls ([Resolved Date], [Opened Date])
    WHERE [Resolved Date] IS NOT NULL;
-- [end of summary indexes]

CREATE TRIGGER CallsDatesOnInsert AFTER INSERT ON Calls
BEGIN
    UPDATE Calls SET
        [Opened Date] = StoredDate(NEW.[Opened Date]),
        [Due Date] = StoredDate(NEW.[Due Date]),
        [Resolved Date] = StoredDate(NEW.[Resolved Date]),
        [Call Time] = StoredDate(NEW.[Call Time])
    WHERE ID = NEW.ID;
END;

CREATE TRIGGER CallsDatesOnUpdate
AFTER UPDATE OF [Opened Date], [Due Date], [Resolved Date], [Call Time] ON Calls
BEGIN
    UPDATE Calls SET
        [Opened Date] = StoredDate(NEW.[Opened Date]),
        [Due Date] = StoredDate(NEW.[Due Date]),
        [Resolved Date] = StoredDate(NEW.[Resolved Date]),
        [Call Time] = StoredDate(NEW.[Call Time])
    WHERE ID = NEW.ID;
END;

-- The comments of every call, indexed by their three-letter pieces, so that any part of a word
-- is found in them at once without regard to letter case. The text itself stays in Calls; the
-- triggers keep the index in step with every insert, change and delete. The build takes the
-- part between the two markers as the upgrade of a file of schema 3, whose calls the last
-- statement indexes (a new file has none).
-- [comments index]
CREATE VIRTUAL TABLE CallsText USING fts5(
    Comments, content='Calls', content_rowid='ID', tokenize='trigram');

CREATE TRIGGER CallsTextOnInsert AFTER INSERT ON Calls
BEGIN
    INSERT INTO CallsText (rowid, Comments) VALUES (NEW.ID, NEW.Comments);
END;

CREATE TRIGGER CallsTextOnDelete AFTER DELETE ON Calls
BEGIN
    INSERT INTO CallsText (CallsText, rowid, Comments) VALUES ('delete', OLD.ID, OLD.Comments);
END;

CREATE TRIGGER CallsTextOnUpdate AFTER UPDATE OF ID, Comments ON Calls
BEGIN
    INSERT INTO CallsText (CallsText, rowid, Comments) VALUES ('delete', OLD.ID, OLD.Comments);
    INSERT INTO CallsText (rowid, Comments) VALUES (NEW.ID, NEW.Comments);
END;

INSERT INTO CallsText (CallsText) VALUES ('rebuild');
-- [end of comments index]

CREATE TABLE Customers (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    [First Name] TEXT,
    [Last Name] TEXT,
    [E-mail Address] TEXT,
    Company TEXT,
    [Job Title] TEXT,
    [Business Phone] TEXT,
    [Home Phone] TEXT,
    [Mobile Phone] TEXT,
    [Fax Number] TEXT,
    Address TEXT,
    City TEXT,
    State TEXT,
    ZIP TEXT,
    Country TEXT,
    [Web Page] TEXT,
    Notes TEXT
);

CREATE TABLE Employees (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    [First Name] TEXT,
    [Last Name] TEXT,
    [E-mail Address] TEXT,
    Company TEXT,
    [Job Title] TEXT,
    [Business Phone] TEXT,
    [Home Phone] TEXT,
    [Mobile Phone] TEXT,
    [Fax Number] TEXT,
    Address TEXT,
    City TEXT,
    State TEXT,
    ZIP TEXT,
    Country TEXT,
    [Web Page] TEXT,
    Notes TEXT
);

-- The value lists compare and sort text without regard to letter case: they sort
-- "Closed, open, Open", and "open" is refused while "Open" is there.
CREATE TABLE Status (Status TEXT NOT NULL UNIQUE COLLATE Caseless);
CREATE TABLE Categories (Category TEXT NOT NULL UNIQUE COLLATE Caseless);
CREATE TABLE Priorities (Priority TEXT NOT NULL UNIQUE COLLATE Caseless);

CREATE TRIGGER StatusOnce BEFORE INSERT ON Status
WHEN EXISTS (SELECT 1 FROM Status WHERE FoldedCase(Status) = FoldedCase(NEW.Status))
BEGIN SELECT RAISE(ABORT, 'The value is there already, in these or other capitals'); END;
CREATE TRIGGER CategoriesOnce BEFORE INSERT ON Categories
WHEN EXISTS (SELECT 1 FROM Categories WHERE FoldedCase(Category) = FoldedCase(NEW.Category))
BEGIN SELECT RAISE(ABORT, 'The value is there already, in these or other capitals'); END;
CREATE TRIGGER PrioritiesOnce BEFORE INSERT ON Priorities
WHEN EXISTS (SELECT 1 FROM Priorities WHERE FoldedCase(Priority) = FoldedCase(NEW.Priority))
BEGIN SELECT RAISE(ABORT, 'The value is there already, in these or other capitals'); END;

-- Display names: first name, a blank, last name; never Null.
CREATE VIEW [Customers Extended] AS
SELECT ifnull([First Name], '') || ' ' || ifnull([Last Name], '') AS [Customer Name], *
FROM Customers
ORDER BY [Customer Name], ID;

CREATE VIEW [Employees Extended] AS
SELECT ifnull([First Name], '') || ' ' || ifnull([Last Name], '') AS [Employee Name], *
FROM Employees
ORDER BY [Employee Name], ID;

-- Every call with the display names of the people it names (empty for a missing person),
-- its comments and the raw ids. A call is open while it has no resolved date.
CREATE VIEW [Calls Extended] AS
SELECT c.ID AS ID,
       c.Title AS Title,
       CASE WHEN cu.ID IS NULL THEN ''
            ELSE ifnull(cu.[First Name], '') || ' ' || ifnull(cu.[Last Name], '') END
           AS [Customer Name],
       CASE WHEN a.ID IS NULL THEN ''
            ELSE ifnull(a.[First Name], '') || ' ' || ifnull(a.[Last Name], '') END
           AS [Assigned To Name],
       c.Priority AS Priority,
       c.Status AS Status,
       c.Category AS Category,
       c.[Due Date] AS [Due Date],
       c.[Opened Date] AS [Opened Date],
       CASE WHEN r.ID IS NULL THEN ''
            ELSE ifnull(r.[First Name], '') || ' ' || ifnull(r.[Last Name], '') END
           AS [Resolved By Name],
       c.[Resolved Date] AS [Resolved Date],
       CASE WHEN o.ID IS NULL THEN ''
            ELSE ifnull(o.[First Name], '') || ' ' || ifnull(o.[Last Name], '') END
           AS [Opened By Name],
       c.Comments AS Comments,
       c.[Assigned To] AS [Assigned To],
       c.[Opened By] AS [Opened By],
       c.[Resolved By] AS [Resolved By],
       c.Caller AS Caller,
       c.[Call Time] AS [Call Time]
FROM Calls AS c
LEFT JOIN Customers AS cu ON cu.ID = c.Caller
LEFT JOIN Employees AS a ON a.ID = c.[Assigned To]
LEFT JOIN Employees AS o ON o.ID = c.[Opened By]
LEFT JOIN Employees AS r ON r.ID = c.[Resolved By];

CREATE VIEW [Open Calls] AS
SELECT * FROM [Calls Extended] WHERE [Resolved Date] IS NULL;

CREATE VIEW [Closed Calls] AS
SELECT * FROM [Calls Extended] WHERE [Resolved Date] IS NOT NULL ORDER BY Title;

-- What keeps a slip from losing anything: the history of every call and the deleted rows.
-- The build takes the part between the two markers as the upgrade of a file of schema 2.
-- [history]

-- Every insert, change and delete of a call, written by the triggers below in the same
-- transaction as the change: when, by whom, which field, the value before and after. A new
-- (or restored) call has one row with an empty field and its title after; a deleted call one
-- row with an empty field and its title before and none after. Dates are in the stored form.
CREATE TABLE CallHistory (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    CallID INTEGER NOT NULL,
    [Changed At] DATETIME NOT NULL,
    [Changed By] TEXT,
    Field TEXT NOT NULL,
    OldValue,
    NewValue
);
CREATE INDEX CallHistoryByCall ON CallHistory (CallID, ID);

-- One delete as a person made it: a call, several calls, or a value or contact with the calls
-- it took. The program opens one (Pending = 1) before it deletes and closes it before the
-- transaction ends; a delete made without one (by another program) gets one of its own.
CREATE TABLE Deletions (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    [Deleted At] DATETIME NOT NULL,
    [Deleted By] TEXT,
    Pending INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX DeletionsPending ON Deletions (Pending);

-- The deleted rows, every field and ID as they were, kept for 30 days.
CREATE TABLE DeletedCalls (
    Deletion INTEGER NOT NULL,
    ID INTEGER NOT NULL,
    Title TEXT,
    [Assigned To] INTEGER,
    [Opened By] INTEGER,
    [Opened Date] DATETIME,
    Status TEXT,
    Category TEXT,
    Priority TEXT,
    Comments TEXT,
    [Due Date] DATETIME,
    [Resolved By] INTEGER,
    [Resolved Date] DATETIME,
    Caller INTEGER,
    [Call Time] DATETIME
);
CREATE INDEX DeletedCallsByDeletion ON DeletedCalls (Deletion);
CREATE INDEX DeletedCallsByID ON DeletedCalls (ID);

CREATE TABLE DeletedPeople (
    Deletion INTEGER NOT NULL,
    List TEXT NOT NULL,
    ID INTEGER NOT NULL,
    [First Name] TEXT,
    [Last Name] TEXT,
    [E-mail Address] TEXT,
    Company TEXT,
    [Job Title] TEXT,
    [Business Phone] TEXT,
    [Home Phone] TEXT,
    [Mobile Phone] TEXT,
    [Fax Number] TEXT,
    Address TEXT,
    City TEXT,
    State TEXT,
    ZIP TEXT,
    Country TEXT,
    [Web Page] TEXT,
    Notes TEXT
);
CREATE INDEX DeletedPeopleByDeletion ON DeletedPeople (Deletion);
CREATE INDEX DeletedPeopleByID ON DeletedPeople (List, ID);

CREATE TABLE DeletedValues (
    Deletion INTEGER NOT NULL,
    List TEXT NOT NULL,
    Value TEXT
);
CREATE INDEX DeletedValuesByDeletion ON DeletedValues (Deletion);

CREATE TRIGGER CallsHistoryOnInsert AFTER INSERT ON Calls
BEGIN
    INSERT INTO CallHistory (CallID, [Changed At], [Changed By], Field, OldValue, NewValue)
    VALUES (NEW.ID, ChangeTime(), ChangedBy(), '', NULL, coalesce(NEW.Title, ''));
END;

-- Only fields whose stored text differs are looked at; dates are then compared and kept in the
-- stored form, so that the step that turns the date text of a statement into that form records
-- nothing of its own.
CREATE TRIGGER CallsHistoryOnUpdate AFTER UPDATE ON Calls
BEGIN
    INSERT INTO CallHistory (CallID, [Changed At], [Changed By], Field, OldValue, NewValue)
    SELECT NEW.ID, ChangeTime(), ChangedBy(), f, b, a FROM (
        SELECT 1 AS o, 'Title' AS f, OLD.Title AS b, NEW.Title AS a
            WHERE OLD.Title IS NOT NEW.Title
        UNION ALL SELECT 2, 'Caller', OLD.Caller, NEW.Caller
            WHERE OLD.Caller IS NOT NEW.Caller
        UNION ALL SELECT 3, 'Assigned To', OLD.[Assigned To], NEW.[Assigned To]
            WHERE OLD.[Assigned To] IS NOT NEW.[Assigned To]
        UNION ALL SELECT 4, 'Opened By', OLD.[Opened By], NEW.[Opened By]
            WHERE OLD.[Opened By] IS NOT NEW.[Opened By]
        UNION ALL SELECT 5, 'Opened Date', StoredDate(OLD.[Opened Date]), StoredDate(NEW.[Opened Date])
            WHERE OLD.[Opened Date] IS NOT NEW.[Opened Date]
        UNION ALL SELECT 6, 'Due Date', StoredDate(OLD.[Due Date]), StoredDate(NEW.[Due Date])
            WHERE OLD.[Due Date] IS NOT NEW.[Due Date]
        UNION ALL SELECT 7, 'Status', OLD.Status, NEW.Status
            WHERE OLD.Status IS NOT NEW.Status
        UNION ALL SELECT 8, 'Category', OLD.Category, NEW.Category
            WHERE OLD.Category IS NOT NEW.Category
        UNION ALL SELECT 9, 'Priority', OLD.Priority, NEW.Priority
            WHERE OLD.Priority IS NOT NEW.Priority
        UNION ALL SELECT 10, 'Comments', OLD.Comments, NEW.Comments
            WHERE OLD.Comments IS NOT NEW.Comments
        UNION ALL SELECT 11, 'Resolved By', OLD.[Resolved By], NEW.[Resolved By]
            WHERE OLD.[Resolved By] IS NOT NEW.[Resolved By]
        UNION ALL SELECT 12, 'Resolved Date', StoredDate(OLD.[Resolved Date]), StoredDate(NEW.[Resolved Date])
            WHERE OLD.[Resolved Date] IS NOT NEW.[Resolved Date]
        UNION ALL SELECT 13, 'Call Time', StoredDate(OLD.[Call Time]), StoredDate(NEW.[Call Time])
            WHERE OLD.[Call Time] IS NOT NEW.[Call Time]
    ) WHERE b IS NOT a ORDER BY o;
END;

CREATE TRIGGER CallsKeptOnDelete AFTER DELETE ON Calls
BEGIN
    INSERT INTO Deletions ([Deleted At], [Deleted By])
    SELECT ChangeTime(), ChangedBy() WHERE NOT EXISTS (SELECT 1 FROM Deletions WHERE Pending = 1);
    INSERT INTO DeletedCalls
    VALUES (coalesce((SELECT ID FROM Deletions WHERE Pending = 1), last_insert_rowid()),
            OLD.ID, OLD.Title, OLD.[Assigned To], OLD.[Opened By], OLD.[Opened Date], OLD.Status,
            OLD.Category, OLD.Priority, OLD.Comments, OLD.[Due Date], OLD.[Resolved By],
            OLD.[Resolved Date], OLD.Caller, OLD.[Call Time]);
    INSERT INTO CallHistory (CallID, [Changed At], [Changed By], Field, OldValue, NewValue)
    VALUES (OLD.ID, ChangeTime(), ChangedBy(), '', OLD.Title, NULL);
END;

CREATE TRIGGER CustomersKeptOnDelete AFTER DELETE ON Customers
BEGIN
    INSERT INTO Deletions ([Deleted At], [Deleted By])
    SELECT ChangeTime(), ChangedBy() WHERE NOT EXISTS (SELECT 1 FROM Deletions WHERE Pending = 1);
    INSERT INTO DeletedPeople
    VALUES (coalesce((SELECT ID FROM Deletions WHERE Pending = 1), last_insert_rowid()),
            'Customers', OLD.ID, OLD.[First Name], OLD.[Last Name], OLD.[E-mail Address],
            OLD.Company, OLD.[Job Title], OLD.[Business Phone], OLD.[Home Phone],
            OLD.[Mobile Phone], OLD.[Fax Number], OLD.Address, OLD.City, OLD.State, OLD.ZIP,
            OLD.Country, OLD.[Web Page], OLD.Notes);
END;

CREATE TRIGGER EmployeesKeptOnDelete AFTER DELETE ON Employees
BEGIN
    INSERT INTO Deletions ([Deleted At], [Deleted By])
    SELECT ChangeTime(), ChangedBy() WHERE NOT EXISTS (SELECT 1 FROM Deletions WHERE Pending = 1);
    INSERT INTO DeletedPeople
    VALUES (coalesce((SELECT ID FROM Deletions WHERE Pending = 1), last_insert_rowid()),
            'Employees', OLD.ID, OLD.[First Name], OLD.[Last Name], OLD.[E-mail Address],
            OLD.Company, OLD.[Job Title], OLD.[Business Phone], OLD.[Home Phone],
            OLD.[Mobile Phone], OLD.[Fax Number], OLD.Address, OLD.City, OLD.State, OLD.ZIP,
            OLD.Country, OLD.[Web Page], OLD.Notes);
END;

CREATE TRIGGER StatusKeptOnDelete AFTER DELETE ON Status
BEGIN
    INSERT INTO Deletions ([Deleted At], [Deleted By])
    SELECT ChangeTime(), ChangedBy() WHERE NOT EXISTS (SELECT 1 FROM Deletions WHERE Pending = 1);
    INSERT INTO DeletedValues
    VALUES (coalesce((SELECT ID FROM Deletions WHERE Pending = 1), last_insert_rowid()),
            'Status', OLD.Status);
END;

CREATE TRIGGER CategoriesKeptOnDelete AFTER DELETE ON Categories
BEGIN
    INSERT INTO Deletions ([Deleted At], [Deleted By])
    SELECT ChangeTime(), ChangedBy() WHERE NOT EXISTS (SELECT 1 FROM Deletions WHERE Pending = 1);
    INSERT INTO DeletedValues
    VALUES (coalesce((SELECT ID FROM Deletions WHERE Pending = 1), last_insert_rowid()),
            'Categories', OLD.Category);
END;

CREATE TRIGGER PrioritiesKeptOnDelete AFTER DELETE ON Priorities
BEGIN
    INSERT INTO Deletions ([Deleted At], [Deleted By])
    SELECT ChangeTime(), ChangedBy() WHERE NOT EXISTS (SELECT 1 FROM Deletions WHERE Pending = 1);
    INSERT INTO DeletedValues
    VALUES (coalesce((SELECT ID FROM Deletions WHERE Pending = 1), last_insert_rowid()),
            'Priorities', OLD.Priority);
END;
-- [end of history]

-- A deleted call keeps its entries in the comments' index while a kept copy of it stays, so that
-- putting it back costs its index nothing; the list reads only the calls there are, so the
-- entries of a deleted call find nothing. For a call that is not in Calls the index holds the
-- comments of its newest kept copy: a call inserted with the ID of a kept one first takes those
-- out, and when the last kept copy of a call goes, so do its entries (or they become those of
-- the copy now newest). The build takes the part between the two markers as the upgrade of a
-- file of schema 5, whose kept calls the last statement indexes.
-- [kept comments]
DROP TRIGGER CallsTextOnDelete;
DROP TRIGGER CallsTextOnInsert;

CREATE TRIGGER CallsTextOnInsert AFTER INSERT ON Calls
BEGIN
    INSERT INTO CallsText (CallsText, rowid, Comments)
        SELECT 'delete', ID, Comments FROM DeletedCalls WHERE ID = NEW.ID
        ORDER BY Deletion DESC LIMIT 1;
    INSERT INTO CallsText (rowid, Comments) VALUES (NEW.ID, NEW.Comments);
END;

CREATE TRIGGER CallsTextOnKeptDelete AFTER DELETE ON DeletedCalls
WHEN NOT EXISTS (SELECT 1 FROM Calls WHERE ID = OLD.ID)
    AND NOT EXISTS (SELECT 1 FROM DeletedCalls WHERE ID = OLD.ID AND Deletion > OLD.Deletion)
BEGIN
    INSERT INTO CallsText (CallsText, rowid, Comments) VALUES ('delete', OLD.ID, OLD.Comments);
    INSERT INTO CallsText (rowid, Comments)
        SELECT ID, Comments FROM DeletedCalls WHERE ID = OLD.ID ORDER BY Deletion DESC LIMIT 1;
END;

INSERT INTO CallsText (rowid, Comments)
    SELECT k.ID, k.Comments FROM DeletedCalls k
    WHERE NOT EXISTS (SELECT 1 FROM Calls c WHERE c.ID = k.ID)
        AND k.Deletion = (SELECT max(n.Deletion) FROM DeletedCalls n WHERE n.ID = k.ID);
-- [end of kept comments]

-- The comments' index holds the comments folded as finding compares them (letter case and
-- accents aside: "abimees" finds "abîmées"), and only which calls hold each three-letter
-- piece, not where (detail none): a third of the size of an index that also keeps the places.
-- A word is found by LIKE through the index, which takes the calls holding all its pieces and
-- then compares the folded comments of those alone, read through the view
-- CallsFoldedComments: every call's, and for a deleted call the newest kept copy's, as the
-- rules of the kept comments above say. The build takes the part between the two markers as
-- the upgrade of a file of schema 6, whose index the last statement builds again.
-- [folded comments]
DROP TRIGGER CallsTextOnInsert;
DROP TRIGGER CallsTextOnUpdate;
DROP TRIGGER CallsTextOnKeptDelete;
DROP TABLE CallsText;

CREATE VIEW CallsFoldedComments AS
    SELECT ID, FindFolded(Comments) AS Comments FROM Calls
    UNION ALL
    SELECT k.ID, FindFolded(k.Comments) FROM DeletedCalls k
    WHERE NOT EXISTS (SELECT 1 FROM Calls c WHERE c.ID = k.ID)
        AND k.Deletion = (SELECT max(n.Deletion) FROM DeletedCalls n WHERE n.ID = k.ID);

CREATE VIRTUAL TABLE CallsText USING fts5(
    Comments, content='CallsFoldedComments', content_rowid='ID', tokenize='trigram',
    detail='none');

CREATE TRIGGER CallsTextOnInsert AFTER INSERT ON Calls
BEGIN
    INSERT INTO CallsText (CallsText, rowid, Comments)
        SELECT 'delete', ID, FindFolded(Comments) FROM DeletedCalls WHERE ID = NEW.ID
        ORDER BY Deletion DESC LIMIT 1;
    INSERT INTO CallsText (rowid, Comments) VALUES (NEW.ID, FindFolded(NEW.Comments));
END;

CREATE TRIGGER CallsTextOnUpdate AFTER UPDATE OF ID, Comments ON Calls
BEGIN
    INSERT INTO CallsText (CallsText, rowid, Comments)
        VALUES ('delete', OLD.ID, FindFolded(OLD.Comments));
    INSERT INTO CallsText (rowid, Comments) VALUES (NEW.ID, FindFolded(NEW.Comments));
END;

CREATE TRIGGER CallsTextOnKeptDelete AFTER DELETE ON DeletedCalls
WHEN NOT EXISTS (SELECT 1 FROM Calls WHERE ID = OLD.ID)
    AND NOT EXISTS (SELECT 1 FROM DeletedCalls WHERE ID = OLD.ID AND Deletion > OLD.Deletion)
BEGIN
    INSERT INTO CallsText (CallsText, rowid, Comments)
        VALUES ('delete', OLD.ID, FindFolded(OLD.Comments));
    INSERT INTO CallsText (rowid, Comments)
        SELECT ID, FindFolded(Comments) FROM DeletedCalls WHERE ID = OLD.ID
        ORDER BY Deletion DESC LIMIT 1;
END;

INSERT INTO CallsText (CallsText) VALUES ('rebuild');
-- [end of folded comments]
-- The files kept with the calls. A file's content is stored once however many calls hold it,
-- found by its SHA-256, in pieces of at most a mebibyte, so that it is read and written a piece
-- at a time and never has to be in memory whole. An attachment names its call and its content;
-- removing one marks it removed (so that undo can bring it back), and it goes for good with
-- the kept copies of deleted rows, 30 days on. A deleted call keeps its attachments as they
-- are: putting the call back brings them back with it. The history records each one added,
-- removed or brought back. The build takes the part between the two markers as the upgrade of
-- a file of schema 7.
-- [attachments]
CREATE TABLE AttachmentContents (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Hash TEXT UNIQUE,
    Size INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE AttachmentPieces (
    Content INTEGER NOT NULL,
    Piece INTEGER NOT NULL,
    Data BLOB NOT NULL
);
CREATE UNIQUE INDEX AttachmentPiecesInOrder ON AttachmentPieces (Content, Piece);

CREATE TABLE Attachments (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    CallID INTEGER NOT NULL,
    Name TEXT NOT NULL,
    Type TEXT,
    Size INTEGER NOT NULL,
    Content INTEGER NOT NULL,
    [Added At] DATETIME NOT NULL,
    [Added By] TEXT,
    [Removed At] DATETIME,
    [Removed By] TEXT
);
CREATE INDEX AttachmentsByCall ON Attachments (CallID);
CREATE INDEX AttachmentsByContent ON Attachments (Content);

CREATE TRIGGER AttachmentsHistoryOnInsert AFTER INSERT ON Attachments
WHEN NEW.[Removed At] IS NULL
BEGIN
    INSERT INTO CallHistory (CallID, [Changed At], [Changed By], Field, OldValue, NewValue)
    VALUES (NEW.CallID, ChangeTime(), ChangedBy(), 'Attachment', NULL,
            NEW.Name || ' (' || NEW.Size || ' bytes)');
END;

CREATE TRIGGER AttachmentsHistoryOnRemove AFTER UPDATE OF [Removed At] ON Attachments
WHEN (OLD.[Removed At] IS NULL) <> (NEW.[Removed At] IS NULL)
BEGIN
    INSERT INTO CallHistory (CallID, [Changed At], [Changed By], Field, OldValue, NewValue)
    SELECT NEW.CallID, ChangeTime(), ChangedBy(), 'Attachment',
           CASE WHEN NEW.[Removed At] IS NULL THEN NULL
                ELSE NEW.Name || ' (' || NEW.Size || ' bytes)' END,
           CASE WHEN NEW.[Removed At] IS NULL THEN NEW.Name || ' (' || NEW.Size || ' bytes)'
                ELSE NULL END;
END;

-- A content goes with the last attachment that holds it.
CREATE TRIGGER AttachmentContentsOnDelete AFTER DELETE ON Attachments
WHEN NOT EXISTS (SELECT 1 FROM Attachments WHERE Content = OLD.Content)
BEGIN
    DELETE FROM AttachmentPieces WHERE Content = OLD.Content;
    DELETE FROM AttachmentContents WHERE ID = OLD.Content;
END;
-- [end of attachments]
