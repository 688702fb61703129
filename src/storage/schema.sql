-- The tables of file.gdb. The inserts into tab, table1 and table2 list their
-- values by position, so the order of their columns is part of the file's
-- format; those into the fingerprint table name their columns. A database made
-- by an earlier version is brought up to these tables when it is opened (see
-- schema.h): a table it lacks is made, a column it lacks added at the end of
-- its table, an integer column declared bigint here widened, and a column of
-- names kept as text converted to bytes.
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
-- file_size is the size in bytes; databases made before it was a bigint hold
-- the low 32 bits of it, signed, in the rows written then.
create table table1 (
  id integer,
  file_name varchar(1020) character set octets,
  full_path varchar(4096) character set octets,
  file_size bigint,
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
  file_size bigint,
  data varchar(11),
  atr varchar(3),
  crc1 integer,
  crc2 integer
);

-- "select max(id) from tab" walks the descending index on id.
--
-- The file tables have no index: the check, update and remove read a
-- directory's rows by full_path, for which a key would exceed the engine's
-- key size, and a check reads its whole scan at once. Index entries would
-- cost every row written more than writing the row itself, and again when
-- its rows are cleared away. Only the per-file statements, kept as the
-- check's reference, look rows up one by one, and read through the table
-- for each.
create descending index tab_id on tab (id);

-- What a check compares besides the columns above, one row per table1 row
-- that add or update wrote, tied to it by its id; scan/fingerprint_fields.cpp
-- says which field of a fingerprint each column holds and what a difference
-- in it is. sha256 is the digest of the
-- contents in hex, null for a name that is not read (a device, a FIFO, a link
-- to neither a file); mode is st_mode (file type and permission bits), owner
-- and group the ids; link_target the text of a symbolic link, null for any
-- other name; xattrs every extended attribute's name and value (capabilities
-- and ACLs among them), null for none; device_or_flags st_rdev of a device,
-- or the inode flags chattr sets of a regular file or directory, -1 for
-- neither, and null only in rows written before these two were kept, whose
-- attributes and flags are then not known and compared with nothing (see
-- scan/fingerprint_fields.cpp); link_count the number of names of a regular
-- file, null for any other name and in rows written before it was kept. Rows of table1 without one were written before it existed and
-- are judged by their own columns alone. tab_id is the id of the tab row
-- whose add or update recorded the file: each registration acts on the rows
-- it owns, so that registrations that overlap (one inside another, a
-- directory registered twice) keep their rows apart. Null in rows written
-- before it existed, which belong to a registration only by their path.
--
-- The link's text is a blob: a column wide enough for the longest would make
-- every row cost that width to write, and few names are links. No index, as
-- for the file tables: the rows are read and deleted by runs of ids.
create table fingerprint (
  file_id integer,
  sha256 varchar(64) character set ascii,
  mode integer,
  owner_id bigint,
  group_id bigint,
  link_target blob sub_type binary,
  tab_id integer,
  xattrs blob sub_type binary,
  device_or_flags bigint,
  link_count bigint
);

-- One row per directory a walk entered, the registered directory included:
-- full_path is the directory itself, the other columns those of the
-- fingerprint table, of the directory (no contents, no link, no device, no
-- link count: it changes with every subdirectory).
-- tab_id is the registration whose add or update recorded it; each
-- registration's rows are written, replaced and deleted with its file rows.
-- A registration without any was recorded before directories were, and its
-- directories are not judged until its next update.
create table directory_print (
  tab_id integer,
  full_path varchar(4096) character set octets,
  sha256 varchar(64) character set ascii,
  mode integer,
  owner_id bigint,
  group_id bigint,
  link_target blob sub_type binary,
  xattrs blob sub_type binary,
  device_or_flags bigint,
  link_count bigint
);

-- The seal: what the administrator's private key signed (see
-- seal/seal_rows.h). One row per registration, with the SHA-256 of what it
-- records and the Ed25519 signature over it, and one row without a
-- registration, the signature over the list of registrations with their
-- digests. Empty for a database never sealed. field_set says which fields of
-- a fingerprint the digest encodes; null in rows written before it was kept,
-- whose digests encode the first set. The list's row also says which database
-- this is (random, made when it is first sealed), its generation, raised by
-- every sealed change, and when it was sealed; a checker remembers the
-- highest generation it saw, so an older copy put back is told. A database
-- kept without a key has the same rows without signatures.
create table seal (
  tab_id integer,
  digest varchar(64) character set ascii,
  signature varchar(128) character set ascii,
  field_set integer,
  database_id varchar(32) character set ascii,
  generation bigint,
  sealed_at varchar(32) character set ascii
);

-- The packages installed when a registration's baseline was recorded (by add
-- and update), each with its version then and, for those with files below
-- its directory, the SHA-256 of what dpkg recorded of its files (see
-- package_files; null for the others): a check tells from them which package
-- changed since, and what a package removed since had. Covered by the
-- registration's seal.
create table package_record (
  tab_id integer,
  package varchar(128) character set ascii,
  architecture varchar(32) character set ascii,
  version varchar(128) character set ascii,
  files_digest varchar(64) character set ascii
);

-- What dpkg recorded of a package's files (see PackageFiles), compressed,
-- found by the SHA-256 of its text: one row for every registration and every
-- version that has the same.
create table package_files (
  digest varchar(64) character set ascii,
  files blob sub_type binary
);

-- The log of what was done to each registration: one row per check and per
-- accept, with when (ISO 8601, UTC, to the millisecond), by which user on
-- which host. kind is "check", "accept" (all of a registration's changes),
-- "accept-names" (the names given) or "accept-explained" (what the package
-- manager's records explained). A check's row has the number of findings
-- per list, of names not examined, of findings nothing explains (null where
-- the check did not explain), the status bits of the console's exit status
-- and what verifying the seal found: "holds", "broken" or "none" (never
-- sealed). An accept's row has the names accepted, each as its bytes, ended
-- by a zero byte; none for an accept of all. The accepts are covered by the
-- registration's seal, the checks are not: a check may be run by an account
-- that holds no key, and writes its row where the account may write.
create table event_log (
  tab_id integer,
  kind varchar(16) character set ascii,
  logged_at varchar(32) character set ascii,
  user_name varchar(255) character set utf8,
  host_name varchar(255) character set utf8,
  deleted_count integer,
  moved_count integer,
  new_count integer,
  changed_count integer,
  not_examined_count integer,
  unexplained_count integer,
  status_bits integer,
  seal varchar(8) character set ascii,
  names blob sub_type binary
);
