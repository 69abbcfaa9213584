-- The call log on a database server: the same six tables and five saved queries as
-- schema.sql, installed into an empty database by "quorvane --init-server URI". Names are in
-- lower case, which is how the server folds the unquoted names that statements carry and how
-- the database layer writes bracketed names. Dates are stored as text "yyyy-MM-dd" or
-- "yyyy-MM-dd HH:mm:ss", as in the local file; the triggers turn the date text that
-- statements carry into that form, reading it as the desk that sent it writes dates (the
-- layer tells the server the desk's date order, month names and day-half markers when it
-- connects), and refuse text that is not a date.

CREATE TABLE quorvane_schema (version integer NOT NULL);
INSERT INTO quorvane_schema VALUES (9);

-- A date column: text in the stored form. The database layer reads columns of this type as
-- dates.
CREATE DOMAIN stored_date AS text;

-- The setting `name` of this session, or `fallback` when the desk told none.
CREATE FUNCTION desk_setting(name text, fallback text) RETURNS text
LANGUAGE sql STABLE AS $$
    SELECT coalesce(nullif(current_setting('quorvane.' || name, true), ''), fallback)
$$;

-- The year that a two-digit year means: the one within 80 years before and 19 years after
-- this year.
CREATE FUNCTION expand_two_digit_year(two_digits integer) RETURNS integer
LANGUAGE sql STABLE AS $$
    SELECT (extract(year FROM current_date)::integer - 80)
           + ((two_digits - (extract(year FROM current_date)::integer - 80)) % 100 + 100) % 100
$$;

-- A number that stands for a year: two digits are expanded, four taken as they are.
CREATE FUNCTION year_of(digits text) RETURNS integer
LANGUAGE sql STABLE AS $$
    SELECT CASE WHEN length(digits) <= 2 THEN expand_two_digit_year(digits::integer)
                WHEN length(digits) = 4 THEN digits::integer
                ELSE 0 END
$$;

-- The stored form of a date and time of day, or Null when they name no existing moment in
-- the years 100 to 9999.
CREATE FUNCTION stored_form(y integer, m integer, d integer, hh integer, mi integer, ss integer)
RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE
        WHEN y < 100 OR y > 9999 OR m < 1 OR m > 12 OR d < 1
             OR d > extract(day FROM make_date(y, m, 1) + interval '1 month' - interval '1 day')
             OR hh > 23 OR mi > 59 OR ss > 59 THEN NULL
        WHEN hh = 0 AND mi = 0 AND ss = 0 THEN to_char(make_date(y, m, d), 'YYYY-MM-DD')
        ELSE to_char(make_timestamp(y, m, d, hh, mi, ss), 'YYYY-MM-DD HH24:MI:SS') END
$$;

-- Reads date text as the desk writes and types it: the stored form, ISO 8601, or the day,
-- month and year in the desk's order (numbers, or the month by name with day and year in the
-- order of the desk's long date), optionally with a weekday and a time of day. Null for text
-- that is not one whole, existing date.
CREATE FUNCTION read_date_text(value text) RETURNS text
LANGUAGE plpgsql STABLE AS $$
DECLARE
    t text := btrim(translate(value, U&'\00A0\202F\2009', '   '));
    m text[];
    hh integer := 0;
    mi integer := 0;
    ss integer := 0;
    half integer;
    marker text;
    word text;
    found text;
    numbers text[] := '{}';
    month integer := 0;
    weekdays integer := 0;
    day_digits text;
    year_digits text;
    field_order text;
    year_first boolean;
    y integer := 0;
    d integer := 0;
BEGIN
    IF t = '' THEN
        RETURN NULL;
    END IF;
    m := regexp_match(t, '^([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})(?:[T ]([0-9]{1,2}):([0-9]{2})'
                         '(?::([0-9]{2})(?:[.,][0-9]+)?)?)?$');
    IF m IS NOT NULL THEN
        RETURN stored_form(m[1]::integer, m[2]::integer, m[3]::integer, coalesce(m[4]::integer, 0),
                           coalesce(m[5]::integer, 0), coalesce(m[6]::integer, 0));
    END IF;

    -- The time of day: hours and minutes, seconds optional, then an optional day-half marker.
    m := regexp_match(t, '(?:^|[[:space:]])([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?'
                         '(?:[[:space:]]*([^[:space:][:digit:]]+))?[[:space:]]*$');
    IF m IS NOT NULL THEN
        hh := m[1]::integer;
        mi := m[2]::integer;
        ss := coalesce(m[3]::integer, 0);
        IF m[4] IS NOT NULL THEN
            marker := lower(replace(m[4], '.', ''));
            half := CASE WHEN marker IN (desk_setting('am', 'am'), 'am') THEN 0
                         WHEN marker IN (desk_setting('pm', 'pm'), 'pm') THEN 12 END;
            IF half IS NULL OR hh < 1 OR hh > 12 THEN
                RETURN NULL;
            END IF;
            hh := hh % 12 + half;
        END IF;
        t := btrim(regexp_replace(t, '(?:^|[[:space:]])([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?'
                                     '(?:[[:space:]]*([^[:space:][:digit:]]+))?[[:space:]]*$', ''));
    END IF;

    -- The date: numbers and words between the usual separators, nothing else.
    IF t !~ '^([0-9]+|[[:alpha:]]+|[[:space:],./-])*$' THEN
        RETURN NULL;
    END IF;
    FOR m IN SELECT regexp_matches(t, '[0-9]+|[[:alpha:]]+', 'g') LOOP
        word := m[1];
        IF word ~ '^[0-9]' THEN
            numbers := numbers || word;
            CONTINUE;
        END IF;
        word := lower(word);
        found := substring(desk_setting('months', '|january=1|jan=1|february=2|feb=2|march=3|'
                                        'mar=3|april=4|apr=4|may=5|june=6|jun=6|july=7|jul=7|'
                                        'august=8|aug=8|september=9|sep=9|october=10|oct=10|'
                                        'november=11|nov=11|december=12|dec=12|')
                           FROM '\|' || word || '=([0-9]+)\|');
        IF found IS NOT NULL AND month = 0 THEN
            month := found::integer;
        ELSIF position('|' || word || '|' IN desk_setting('weekdays',
                 '|monday|mon|tuesday|tue|wednesday|wed|thursday|thu|friday|fri|saturday|sat|'
                 'sunday|sun|')) > 0 AND weekdays = 0 THEN
            weekdays := 1;
        ELSE
            RETURN NULL;
        END IF;
    END LOOP;

    IF month > 0 AND cardinality(numbers) = 2 THEN
        -- The month is named: day and year stand as in the long date, unless the year is
        -- plainly the four-digit number.
        field_order := desk_setting('long_order', 'Mdy');
        year_first := strpos(field_order, 'y') < strpos(field_order, 'd');
        IF length(numbers[1]) = 4 AND length(numbers[2]) <= 2 THEN
            year_first := true;
        ELSIF length(numbers[2]) = 4 AND length(numbers[1]) <= 2 THEN
            year_first := false;
        END IF;
        day_digits := CASE WHEN year_first THEN numbers[2] ELSE numbers[1] END;
        year_digits := CASE WHEN year_first THEN numbers[1] ELSE numbers[2] END;
        IF length(day_digits) > 2 THEN
            RETURN NULL;
        END IF;
        d := day_digits::integer;
        y := year_of(year_digits);
    ELSIF month = 0 AND cardinality(numbers) = 3 THEN
        field_order := desk_setting('short_order', 'Mdy');
        -- A four-digit number in front is a year, whatever the desk's order.
        IF length(field_order) <> 3 OR (length(numbers[1]) = 4 AND left(field_order, 1) <> 'y') THEN
            field_order := 'yMd';
        END IF;
        FOR i IN 1..3 LOOP
            IF substr(field_order, i, 1) = 'y' THEN
                y := year_of(numbers[i]);
            ELSIF length(numbers[i]) > 2 THEN
                RETURN NULL;
            ELSIF substr(field_order, i, 1) = 'M' THEN
                month := numbers[i]::integer;
            ELSE
                d := numbers[i]::integer;
            END IF;
        END LOOP;
    ELSE
        RETURN NULL;
    END IF;
    IF y <= 0 THEN
        RETURN NULL;
    END IF;
    RETURN stored_form(y, month, d, hh, mi, ss);
END
$$;

-- The stored form of date text; text that is not a date fails the statement.
CREATE FUNCTION to_stored_date(value text) RETURNS text
LANGUAGE plpgsql STABLE AS $$
DECLARE
    stored text;
BEGIN
    IF value IS NULL THEN
        RETURN NULL;
    END IF;
    stored := read_date_text(value);
    IF stored IS NULL THEN
        RAISE EXCEPTION 'Data type mismatch: ''%'' is not a valid date (expected a date such as %).',
            value, desk_setting('example', to_char(current_date, 'FMMM/FMDD/YYYY'))
            USING ERRCODE = '22007';
    END IF;
    RETURN stored;
END
$$;

-- typeof(x): the kind of a value as the local engine names it (integer, real, text, null).
CREATE FUNCTION typeof(value anyelement) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN value IS NULL THEN 'null'
                WHEN pg_typeof(value) IN ('smallint'::regtype, 'integer'::regtype,
                                          'bigint'::regtype) THEN 'integer'
                WHEN pg_typeof(value) IN ('real'::regtype, 'double precision'::regtype,
                                          'numeric'::regtype) THEN 'real'
                ELSE 'text' END
$$;

-- First() and Last(): the value of the first and the last row, in the order given to them.
CREATE FUNCTION first_step(state anyarray, value anyelement) RETURNS anyarray
LANGUAGE sql IMMUTABLE AS $$ SELECT CASE WHEN state IS NULL THEN ARRAY[value] ELSE state END $$;
CREATE FUNCTION last_step(state anyarray, value anyelement) RETURNS anyarray
LANGUAGE sql IMMUTABLE AS $$ SELECT ARRAY[value] $$;
CREATE FUNCTION chosen_value(state anyarray) RETURNS anyelement
LANGUAGE sql IMMUTABLE AS $$ SELECT state[1] $$;
CREATE AGGREGATE first(anyelement) (SFUNC = first_step, STYPE = anyarray, FINALFUNC = chosen_value);
CREATE AGGREGATE last(anyelement) (SFUNC = last_step, STYPE = anyarray, FINALFUNC = chosen_value);

CREATE TABLE calls (
    id integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    title text,
    "assigned to" integer,
    "opened by" integer,
    "opened date" stored_date,
    status text,
    category text,
    priority text,
    comments text,
    "due date" stored_date,
    "resolved by" integer,
    "resolved date" stored_date,
    caller integer,
    "call time" stored_date
);

CREATE INDEX callsbystatus ON calls (status);
CREATE INDEX callsbycategory ON calls (category);
CREATE INDEX callsbypriority ON calls (priority);
CREATE INDEX callsbyassignedto ON calls ("assigned to");
CREATE INDEX callsbyopenedby ON calls ("opened by");
CREATE INDEX callsbycaller ON calls (caller);

-- The build takes the part between the two markers as the upgrade of a call log of schema 8.
-- [quick dates]
-- Date text in the stored form, as the program sends it to a server, is kept as it is without
-- being read as the desk writes dates (a day after the 28th is read, to check the month's
-- length). The test is written out for each date: a call out to a function of its own would
-- cost more than it saves.
CREATE OR REPLACE FUNCTION calls_store_dates() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    quick constant text := '^[0-9]{4}-(0[1-9]|1[0-2])-(0[1-9]|1[0-9]|2[0-8])'
                           '( ([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9])?$';
BEGIN
    IF NOT (NEW."opened date" ~ quick AND NEW."opened date" >= '0100'
            AND right(NEW."opened date", 9) <> ' 00:00:00') THEN
        NEW."opened date" := to_stored_date(NEW."opened date");
    END IF;
    IF NOT (NEW."due date" ~ quick AND NEW."due date" >= '0100'
            AND right(NEW."due date", 9) <> ' 00:00:00') THEN
        NEW."due date" := to_stored_date(NEW."due date");
    END IF;
    IF NOT (NEW."resolved date" ~ quick AND NEW."resolved date" >= '0100'
            AND right(NEW."resolved date", 9) <> ' 00:00:00') THEN
        NEW."resolved date" := to_stored_date(NEW."resolved date");
    END IF;
    IF NOT (NEW."call time" ~ quick AND NEW."call time" >= '0100'
            AND right(NEW."call time", 9) <> ' 00:00:00') THEN
        NEW."call time" := to_stored_date(NEW."call time");
    END IF;
    RETURN NEW;
END
$$;
-- [end of quick dates]

CREATE TRIGGER calls_dates BEFORE INSERT OR UPDATE ON calls
FOR EACH ROW EXECUTE FUNCTION calls_store_dates();

-- Every change of the calls is announced to the other desks, which follow it in their lists:
-- once per statement, so that a statement that changes many calls is one announcement. The
-- announcement names the calls changed, so that only they are read again; an empty one (the
-- people's names changed, or too many calls to name) has every call read again.
CREATE FUNCTION calls_announce() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('calls_changed', '');
    RETURN NULL;
END
$$;

-- The build takes the part between the two markers as the upgrade of a call log of schema 3,
-- after the statement announcer of that schema is dropped.
-- [row announcements]
CREATE FUNCTION calls_announce_rows() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    ids text;
BEGIN
    IF TG_OP = 'DELETE' THEN
        SELECT string_agg(id::text, ',') INTO ids FROM gone_rows;
    ELSE
        SELECT string_agg(id::text, ',') INTO ids FROM changed_rows;
    END IF;
    IF ids IS NULL THEN
        RETURN NULL;
    END IF;
    -- An announcement holds less than 8000 bytes.
    PERFORM pg_notify('calls_changed', CASE WHEN length(ids) > 7000 THEN '' ELSE ids END);
    RETURN NULL;
END
$$;

CREATE TRIGGER calls_inserted AFTER INSERT ON calls REFERENCING NEW TABLE AS changed_rows
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce_rows();
CREATE TRIGGER calls_updated AFTER UPDATE ON calls REFERENCING NEW TABLE AS changed_rows
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce_rows();
CREATE TRIGGER calls_deleted AFTER DELETE ON calls REFERENCING OLD TABLE AS gone_rows
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce_rows();
CREATE TRIGGER calls_changed AFTER TRUNCATE ON calls
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce();
-- [end of row announcements]

-- The comments of the calls are found by any part of a word, without regard to letter case and
-- accents, through an index of the three-letter pieces of their folded text that the server
-- keeps in step by itself. folded_for_find() folds as the program's find does: lower case,
-- accents taken off by the server's extension unaccent (lower case only on a server without
-- it). The upgrade of a call log of schema 6 takes the part between the markers; its index is
-- made with the others.
-- [folded comments]
CREATE EXTENSION IF NOT EXISTS pg_trgm;
DO $fold$
BEGIN
    CREATE EXTENSION IF NOT EXISTS unaccent;
    CREATE OR REPLACE FUNCTION folded_for_find(value text) RETURNS text
        LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE SET search_path FROM CURRENT
        AS $body$ SELECT lower(unaccent('unaccent'::regdictionary, value)) $body$;
EXCEPTION WHEN OTHERS THEN
    CREATE OR REPLACE FUNCTION folded_for_find(value text) RETURNS text
        LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $body$ SELECT lower(value) $body$;
END
$fold$;
DROP INDEX IF EXISTS calls_comments_trigrams;
-- [end of folded comments]
CREATE INDEX calls_comments_folded ON calls USING gin (folded_for_find(comments) gin_trgm_ops);

CREATE TABLE customers (
    id integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    "first name" text,
    "last name" text,
    "e-mail address" text,
    company text,
    "job title" text,
    "business phone" text,
    "home phone" text,
    "mobile phone" text,
    "fax number" text,
    address text,
    city text,
    state text,
    zip text,
    country text,
    "web page" text,
    notes text
);

CREATE TABLE employees (LIKE customers INCLUDING ALL);
ALTER TABLE employees ALTER COLUMN id DROP IDENTITY IF EXISTS;
ALTER TABLE employees ALTER COLUMN id ADD GENERATED BY DEFAULT AS IDENTITY;

-- The list shows the names of the people a call names: their changes are announced too.
CREATE TRIGGER customers_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON customers
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce();
CREATE TRIGGER employees_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON employees
FOR EACH STATEMENT EXECUTE FUNCTION calls_announce();

-- The value lists keep the order in which their values were stored, which First() and Last()
-- follow; statements see only the value column.
-- They compare and sort without regard to letter case ("Closed, open, Open"); only identical
-- texts are equal, and a value that differs from one there only in capitals is refused.
CREATE COLLATION caseless (provider = icu, locale = 'und-u-kf-lower');
CREATE TABLE status_entries (
    entry bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    status text COLLATE caseless NOT NULL UNIQUE
);
CREATE TABLE category_entries (
    entry bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    category text COLLATE caseless NOT NULL UNIQUE
);
CREATE TABLE priority_entries (
    entry bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    priority text COLLATE caseless NOT NULL UNIQUE
);
CREATE FUNCTION value_once() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    taken boolean;
BEGIN
    EXECUTE format('SELECT EXISTS (SELECT 1 FROM %I WHERE lower(%I) = lower($1))',
                   TG_TABLE_NAME, TG_ARGV[0])
        INTO taken USING to_jsonb(NEW) ->> TG_ARGV[0];
    IF taken THEN
        RAISE EXCEPTION 'The value is there already, in these or other capitals'
            USING ERRCODE = '23505';
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER status_once BEFORE INSERT ON status_entries
FOR EACH ROW EXECUTE FUNCTION value_once('status');
CREATE TRIGGER category_once BEFORE INSERT ON category_entries
FOR EACH ROW EXECUTE FUNCTION value_once('category');
CREATE TRIGGER priority_once BEFORE INSERT ON priority_entries
FOR EACH ROW EXECUTE FUNCTION value_once('priority');
CREATE VIEW status AS SELECT status FROM status_entries ORDER BY entry;
CREATE VIEW categories AS SELECT category FROM category_entries ORDER BY entry;
CREATE VIEW priorities AS SELECT priority FROM priority_entries ORDER BY entry;

-- Display names: first name, a blank, last name; never Null.
CREATE VIEW "customers extended" AS
SELECT coalesce("first name", '') || ' ' || coalesce("last name", '') AS "customer name", *
FROM customers
ORDER BY "customer name", id;

CREATE VIEW "employees extended" AS
SELECT coalesce("first name", '') || ' ' || coalesce("last name", '') AS "employee name", *
FROM employees
ORDER BY "employee name", id;

-- Every call with the display names of the people it names (empty for a missing person),
-- its comments and the raw ids. A call is open while it has no resolved date.
CREATE VIEW "calls extended" AS
SELECT c.id AS id,
       c.title AS title,
       CASE WHEN cu.id IS NULL THEN ''
            ELSE coalesce(cu."first name", '') || ' ' || coalesce(cu."last name", '') END
           AS "customer name",
       CASE WHEN a.id IS NULL THEN ''
            ELSE coalesce(a."first name", '') || ' ' || coalesce(a."last name", '') END
           AS "assigned to name",
       c.priority AS priority,
       c.status AS status,
       c.category AS category,
       c."due date" AS "due date",
       c."opened date" AS "opened date",
       CASE WHEN r.id IS NULL THEN ''
            ELSE coalesce(r."first name", '') || ' ' || coalesce(r."last name", '') END
           AS "resolved by name",
       c."resolved date" AS "resolved date",
       CASE WHEN o.id IS NULL THEN ''
            ELSE coalesce(o."first name", '') || ' ' || coalesce(o."last name", '') END
           AS "opened by name",
       c.comments AS comments,
       c."assigned to" AS "assigned to",
       c."opened by" AS "opened by",
       c."resolved by" AS "resolved by",
       c.caller AS caller,
       c."call time" AS "call time"
FROM calls AS c
LEFT JOIN customers AS cu ON cu.id = c.caller
LEFT JOIN employees AS a ON a.id = c."assigned to"
LEFT JOIN employees AS o ON o.id = c."opened by"
LEFT JOIN employees AS r ON r.id = c."resolved by"
-- In the order of their IDs, as the local file gives them: an edited call keeps its place.
ORDER BY c.id;

CREATE VIEW "open calls" AS
SELECT * FROM "calls extended" WHERE "resolved date" IS NULL ORDER BY id;

CREATE VIEW "closed calls" AS
SELECT * FROM "calls extended" WHERE "resolved date" IS NOT NULL ORDER BY title, id;

-- A call names only people and values that exist. The checks wait for the end of the
-- transaction, so that deleting a person or value and then its calls, in one transaction as
-- the program does, passes. A call that names an employee only as its resolver outlives the
-- employee, without a resolver.
ALTER TABLE calls
    ADD CONSTRAINT calls_assigned_to FOREIGN KEY ("assigned to") REFERENCES employees (id)
        DEFERRABLE INITIALLY DEFERRED,
    ADD CONSTRAINT calls_opened_by FOREIGN KEY ("opened by") REFERENCES employees (id)
        DEFERRABLE INITIALLY DEFERRED,
    ADD CONSTRAINT calls_resolved_by FOREIGN KEY ("resolved by") REFERENCES employees (id)
        ON DELETE SET NULL DEFERRABLE INITIALLY DEFERRED,
    ADD CONSTRAINT calls_caller FOREIGN KEY (caller) REFERENCES customers (id)
        DEFERRABLE INITIALLY DEFERRED,
    ADD CONSTRAINT calls_status FOREIGN KEY (status) REFERENCES status_entries (status)
        DEFERRABLE INITIALLY DEFERRED,
    ADD CONSTRAINT calls_category FOREIGN KEY (category) REFERENCES category_entries (category)
        DEFERRABLE INITIALLY DEFERRED,
    ADD CONSTRAINT calls_priority FOREIGN KEY (priority) REFERENCES priority_entries (priority)
        DEFERRABLE INITIALLY DEFERRED;
CREATE INDEX callsbyresolvedby ON calls ("resolved by");
