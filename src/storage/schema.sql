-- The tables of file.gdb. Every insert lists its values by position, so the
-- order of the columns is part of the file's format.
--
-- Names and paths are kept as their UTF-8 bytes (character set octets) and so
-- compared byte for byte: "a" and "a " are different files, while a character
-- set of text would pad the shorter with blanks and find them equal. A name
-- holds 255 characters of up to four bytes each, a path the 4096 bytes the
-- system allows. The bytes taken are also what each row costs to write: a
-- path of 4096 UTF-8 characters would reserve 16 KiB in every row.

-- One row per directory under control: its path and its list of file types.
create table tab (
  id integer,
  file_name varchar(4096) character set octets,
  ext varchar(4096)
);

-- The baseline: one row per file recorded when its directory was put under
-- control. data is the packed DOS date-time as decimal text, atr three "0"/"1".
create table table1 (
  id integer,
  file_name varchar(1020) character set octets,
  full_path varchar(4096) character set octets,
  file_size integer,
  data varchar(11),
  atr varchar(3),
  crc1 integer,
  crc2 integer
);

-- The current scan of an integrity check, empty between checks.
create table table2 (
  id integer,
  file_name varchar(1020) character set octets,
  full_path varchar(4096) character set octets,
  file_size integer,
  data varchar(11),
  atr varchar(3),
  crc1 integer,
  crc2 integer
);

-- Indexes, so that each file's statements find their rows without reading the
-- whole table: "select max(id)" walks the descending index on id, and the
-- lookups by name and directory start from the index on file_name. A key on
-- full_path as well would exceed the engine's key size for paths this long.
--
-- table2 has none: every check writes and deletes all its rows, and keeping
-- index entries for them would cost more than writing the rows themselves,
-- while the check reads the scan whole (a check judged by the per-file
-- statements reads through table2 once per baseline row instead).
create descending index tab_id on tab (id);
create descending index table1_id on table1 (id);
create index table1_file_name on table1 (file_name);
