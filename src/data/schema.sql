-- The empty database that the program copies on first run: six tables and five saved
-- queries. Dates are stored as text "yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss"; the triggers turn
-- the date text that statements carry into that form and refuse text that is not a date.
-- user_version records the schema version; schema_upgrades.cpp brings the file of an
-- earlier version up to this one, step by step.

PRAGMA user_version = 3;

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
-- triggers keep the index in step with every insert, change and delete.
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
