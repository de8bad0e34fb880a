// The platform layer: every call KIVOR makes to the operating system goes
// through here.  Shared code includes only this header; the build picks one
// backend (*-posix.cpp or *-win32.cpp) for it.  On Windows each routine is a
// thin wrapper around the Win32 call named in its comment; on POSIX it stands
// in for that call with the same observable behaviour.
//
// Each service below lives in a file of the same name in both backends,
// listing-, dirs-, files-, names-, paths-, split-, console-, outfiles-,
// cp437-, help-, zone-, logfile- and digest-posix.cpp / -win32.cpp, and each
// section names its file.  The backend-private helpers are declared in
// pseudo-posix.h, errors-win32.h and wide-win32.h.
//
// Names: every path and name the layer takes or gives (and the command
// line's arguments) is in one form that loses nothing.  POSIX: the bytes as
// they are.  Windows: UTF-8, the system's UTF-16 names converted both ways
// without loss (an unpaired surrogate, which a name may hold, as its three
// bytes), handed to the wide forms of the calls named below ("...W"), in
// their \\?\ form where a path is too long for the plain one.  Only what is
// written for the user is converted again, by plat_shown_name.
#ifndef KIVOR_PLATFORM_H_
#define KIVOR_PLATFORM_H_

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <wchar.h>

#include "platform/platform-consts.h"  // PLAT_SEP, PLAT_PATH_MAX, ... of the backend

// -------------------------------------------------------- listing (listing-)
// Stand-ins for FindFirstFileW / FindNextFileW / FindClose and the find
// record.  Only the attributes and the bare name are carried.

enum {
  PLAT_ATTR_DIRECTORY = 0x10,    // FILE_ATTRIBUTE_DIRECTORY
  PLAT_ATTR_REPARSE = 0x400,     // FILE_ATTRIBUTE_REPARSE_POINT (symbolic link)
};

struct plat_find_data {
  uint32_t attributes;
  int regular;  // 1 when the listing itself knows a regular file (no link)
  char name[PLAT_NAME_MAX];
};

struct plat_find;  // an open listing; NULL stands for INVALID_HANDLE_VALUE

// Opens a listing for a search string "directory<sep>pattern".  Only the last
// component is a pattern, matched by Windows rules with ASCII case ignored; a
// last component without '*' or '?' is an exact lookup of that one name.
// Fills *fd with the first entry and returns the listing, or NULL when the
// directory cannot be read or nothing matches.  Entries come in a stable
// order: "." and ".." first, then by name with ASCII letters upper-cased.
struct plat_find *plat_find_first(const char *search, struct plat_find_data *fd);

// Fills *fd with the next entry; returns 0 when there is none.
int plat_find_next(struct plat_find *h, struct plat_find_data *fd);

// Closes a listing opened by plat_find_first (NULL is allowed).
void plat_find_close(struct plat_find *h);

// Failures of the routines below (and of plat_find_first and plat_find_in)
// leave the system's reason in errno, for strerror: ENOENT when a listing
// found nothing that matches.

// ---------------------------------------------- open directories (dirs-)
// A directory held open while the walk is in it.  Its subdirectories and
// files are reached through it, not again through its path, so that a
// directory swapped for a link after it was listed is never followed.
// POSIX: a descriptor, opened without updating the access time where
// allowed (as files are), and every entry is opened relative to it.  Windows:
// the directory held open without delete sharing, so that it cannot be
// renamed or replaced while it is walked; entries are reached by path.
typedef intptr_t plat_dir;
#define PLAT_NO_DIR ((plat_dir)-1)

// Opens the directory path; a link to a directory is followed (a search
// directory the user named).  PLAT_NO_DIR on failure.
plat_dir plat_dir_open(const char *path);

// Opens the subdirectory name of parent (path is its full path, for
// Windows).  Never follows a link or other reparse point: such an entry
// fails.  PLAT_NO_DIR on failure.
plat_dir plat_dir_open_sub(plat_dir parent, const char *path, const char *name);

// Closes a directory opened above (PLAT_NO_DIR is allowed).
void plat_dir_close(plat_dir d);

// How many more files and directories the process may hold open at once:
// the open-file limit (first raised towards what a deep walk needs, where
// the hard limit allows) less the descriptors open now.  Windows: a large
// number, since handles know no such small limit.
int plat_descriptors_spare(void);

// 1 when d lies on a pseudo file system (process, kernel or device state
// such as /proc or /sys, where reading a file can consume or trigger
// something), 0 for a file system of stored files.  Windows: always 0.
int plat_dir_is_pseudo(plat_dir d);

// plat_find_first in the open directory d: search is the directory's path
// followed by the pattern, and d the open directory it names (PLAT_NO_DIR
// works by path alone, as plat_find_first).
struct plat_find *plat_find_in(plat_dir d, const char *search, struct plat_find_data *fd);

// plat_find_in for a lookup made beside the walk, on any thread: d's own
// reading position, which the walk's listing of d uses, is never touched
// (POSIX: a listing it needs is read through a descriptor of its own).
// Windows: plat_find_in, whose find handles hold no shared position.
struct plat_find *plat_find_lookup(plat_dir d, const char *search, struct plat_find_data *fd);

// ----------------------------------- file-name interpretation (files-)
// AreFileApisANSI / SetFileApisToANSI / SetFileApisToOEM: a process-wide
// flag.  Names are found whatever it is; it chooses the code page they are
// shown in on Windows (plat_shown_name).  On POSIX it changes nothing.
int plat_file_apis_are_ansi(void);
void plat_set_file_apis_ansi(void);
void plat_set_file_apis_oem(void);

// ------------------------------------------------ names shown (names-)
// The command line's arguments in the layer's form, in place of what main
// was given.  POSIX: left as they are.  Windows: the wide command line as
// the C runtime splits it (so quoting works as for the narrow one), in
// UTF-8, in one block allocated once; left as they are when that fails.
void plat_arguments(int *argc, char ***argv);

// name as the lines KIVOR writes show it.  POSIX: name itself.  Windows:
// name itself when it is all ASCII; otherwise converted into out (size
// bytes, cut to fit) to the code page of the interpretation in force, OEM
// or ANSI, or to UTF-8 where the console's output code page is UTF-8
// (65001): a character the code page lacks becomes '?' (never a
// look-alike), a C1 control (U+0080 to U+009F) DEL, which the caller shows
// as '?' like every control byte.  Main thread only.
const char *plat_shown_name(const char *name, char *out, size_t size);

// Once a name (or an archive member's name, plat_member_name_from_utf8)
// has had a character shown as '?' because the code page lacks it: the
// line that tells the user how to see names whole, given once (the call
// that returns it forgets the names before it).  NULL otherwise, and
// always on POSIX.
const char *plat_lost_names_note(void);

// 1 when the OEM code page writes name as the ANSI one does (every ASCII
// name, for one): its OEM spelling read under the ANSI interpretation names
// the same file, so that a run still in the OEM interpretation may settle
// on ANSI with it.  POSIX: always 1.
int plat_name_reads_alike(const char *name);

// ------------------------------------------------- file access (files-)
typedef intptr_t plat_handle;
#define PLAT_INVALID_HANDLE ((plat_handle)-1)

// CreateFileW for reading an existing file.
// POSIX: regular files only (a FIFO, socket or device is never opened),
// read-only, non-blocking, without updating the access time where allowed.
// Returns PLAT_INVALID_HANDLE on failure.
plat_handle plat_open_read(const char *path);

// plat_open_read of an entry of the open directory d; path is the
// directory's path followed by the entry's name (PLAT_NO_DIR: by path
// alone).  POSIX: the name is opened relative to d.  A link is followed,
// but never onto a pseudo file system (plat_dir_is_pseudo), and a file of
// one bound over the entry is refused too, before it is read.  regular: the
// listing said the entry is a regular file (plat_find_data.regular), which
// saves the look at it before the open; the open file is checked all the
// same.  When id is not NULL it receives the identity of the file opened
// (struct plat_file_id below).  Safe to call from several threads.
plat_handle plat_open_read_in(plat_dir d, const char *path, int regular,
                              struct plat_file_id *id);

// One ReadFile of up to count bytes.  Returns the count read, -1 on failure.
long plat_read(plat_handle h, void *buffer, size_t count);

// CloseHandle.
void plat_close(plat_handle h);

// The identity of a file, whatever name reached it: device and inode on
// POSIX, volume serial number and file index on Windows.
struct plat_file_id {
  uint64_t volume;
  uint64_t index;
  int64_t size;  // its size when it was opened for reading; -1 where not known
};

inline bool plat_same_file(const struct plat_file_id *a, const struct plat_file_id *b) {
  return a->volume == b->volume && a->index == b->index;
}

// The same for an open stream, and for the file a path names (links
// followed; 0 when nothing is there).  These two are in outfiles-.
int plat_stream_id(FILE *f, struct plat_file_id *id);
int plat_path_id(const char *path, struct plat_file_id *id);

// SetFilePointerEx: moves the position of h to offset from the start
// (whence 0), the current position (1) or the end (2).  Returns the new
// position, or -1 on failure (the position is then unchanged).
int64_t plat_seek(plat_handle h, int64_t offset, int whence);

// PLAT_NAMES_BY_MODE (platform-consts.h) is 1 where names are shown by the
// interpretation in force when they are shown (Windows: in the OEM or the
// ANSI code page, plat_shown_name): listings then follow the examination
// until the interpretation has settled on ANSI, so that every name is shown
// as a run of one file at a time shows it, and a candidate is looked up
// before it is opened.  It is 0 where the interpretation changes nothing
// (POSIX): the lookup is made only when the open fails, to tell a vanished
// file from an unreadable one.

// ---------------------------------------------------------------- threads
// Holds back (hold 1) or lets through again (hold 0) on the calling thread
// the signals that the console and the interrupt routines handle, so that
// threads started in between never receive them: they stay with the thread
// that polls for them.  Windows: nothing to do.
void plat_signals_hold(int hold);

// ------------------------------------------------------- paths (paths-)
// GetFullPathNameW / _fullpath: the absolute form of path in out (size
// bytes).  Relative paths are joined to the current directory; "." and ".."
// and repeated separators are resolved lexically; a trailing separator is
// kept; "" gives the current directory.  Returns the length, or 0 when the
// result does not fit (or the path is invalid).
size_t plat_full_path(const char *path, char *out, size_t size);

// The current directory in out; returns its length, 0 on failure.
size_t plat_current_dir(char *out, size_t size);

// GetModuleFileNameW: the running program's full path; argv0 is the fallback
// on systems that cannot report it.  Returns the length, 0 on failure.
size_t plat_program_path(const char *argv0, char *out, size_t size);

// stat: 1 when path is a directory, 0 when it is something else, -1 when its
// status cannot be read (missing, or holding wildcards).
int plat_is_directory(const char *path);

// Path comparison for duplicate directories and the hit file's self-test:
// ASCII case ignored on Windows, exact bytes on POSIX.  0 when equal.
int plat_path_compare(const char *a, const char *b);

// ------------------------------------------------- path pieces (split-)
// _splitpath: drive ("" on POSIX), directory (ending in the separator),
// file name and extension (with its dot) of path, each cut to its buffer of
// size bytes.  The extension starts at the last dot of the last component
// (so ".profile" has an empty file name).  A NULL buffer is not written.
// _makepath of drive and directory is their concatenation.
void plat_split_path(const char *path, char *drive, char *dir, char *fname,
                     char *ext, size_t size);

// ------------------------------------- console and interrupt (console-)
// _kbhit: nonzero when a keystroke waits at the console.  Always 0 when
// standard output is a pipe (POSIX: a FIFO or socket; Windows: FILE_TYPE_PIPE):
// the keyboard then belongs to the program reading the output, and the
// console is neither looked at nor changed.  This is decided once.  POSIX:
// only when standard input is a terminal and the run is in its foreground;
// the terminal is then kept in non-canonical, no-echo mode (taken on the
// first call; what was changed, and only that, is given back by
// plat_console_restore, at exit and on every signal that ends or suspends
// the process, and taken again on resume).
int plat_key_waiting(void);

// _getch: one raw key, unechoed, without waiting for Enter.  Without a
// console of its own (no terminal, or standard output a pipe as above):
// one character of standard input as plat_read_char gives it.  -1 at end
// of input, or when a stop came while it waited (plat_interrupted then
// says so).
int plat_raw_key(void);

// getchar: one character of standard input as the stream delivers it (a
// console in line mode waits for Enter).  What a read brings beyond that
// character is kept for the next key reads; on POSIX plat_key_waiting sees
// it, so no key hides in a buffer.  -1 at end of input, or when Ctrl-C came
// while it waited.
int plat_read_char(void);

// Gives the terminal back the settings it had before the run touched it;
// key tests after this take it again.  Safe to call at any time, more than
// once.
void plat_console_restore(void);

// What plat_interrupted reports: the first stop asked for.
enum {
  PLAT_STOP_NONE = 0,
  PLAT_STOP_INTERRUPT = 1,  // Ctrl-C (SIGINT)
  PLAT_STOP_TERMINATE = 2,  // POSIX: SIGTERM or SIGHUP (the system or the session asks)
};

// signal(SIGINT, ...): from now on Ctrl-C (and on POSIX SIGTERM and SIGHUP)
// is only recorded, for the run to end at a point of its choosing
// (plat_interrupted); it also ends a wait in plat_raw_key or plat_read_char.
// A second one of them ends the process at once with the platform's default
// action for it, the terminal given back first.  A signal that the process
// inherited as ignored stays ignored.
void plat_catch_interrupt(void);

// The first stop recorded (PLAT_STOP_INTERRUPT or PLAT_STOP_TERMINATE);
// PLAT_STOP_NONE, 0, while none has come.
int plat_interrupted(void);

// ------------------------------------ output files, streams (outfiles-)
// Standard input, output and error as the run needs them: on POSIX, each of
// descriptors 0, 1 and 2 that the process was started without is opened on
// /dev/null, so that no file the run opens later takes its number (and
// receives what was meant for a standard stream).  Called first thing, before
// anything is opened.  Windows: nothing to do, since the C runtime keeps its
// descriptors 0 to 2 for the standard streams even when the process has no
// standard handle, and a file never takes their place.
void plat_open_standard_streams(void);

// fopen(path, append ? "a" : "w"): the hit file.  POSIX: a FIFO without a
// reader does not block the run in the open: it is retried every few
// milliseconds until a reader comes, and given up when Ctrl-C has come
// (plat_interrupted then says so).  NULL when the file cannot be opened.
FILE *plat_open_output(const char *path, int append);

// fopen(path, mode) of a name in the layer's form (Windows: _wfopen).
// NULL when the file cannot be opened.
FILE *plat_fopen(const char *path, const char *mode);

// ------------------------------------------------- text output (cp437-)
// The banner's code page 437 box bytes (0xBA, 0xBB, 0xBC, 0xC8, 0xC9, 0xCD
// and the check mark 0xFB) as the console shows them: the equivalent UTF-8
// character on POSIX; NULL for a byte that is written as it is (every other
// byte, and on Windows, whose console shows code page 437, every byte).
// Each is one column on screen.
const char *plat_cp437_text(unsigned char byte);

// Nonzero when names are shown to a UTF-8 terminal, so that a name's width
// is its characters.  POSIX: the environment's LC_CTYPE locale (LC_ALL,
// LC_CTYPE, LANG) has the UTF-8 code set; the process's own locale is left
// as it was (the "C" locale), so no other library call changes.  Windows:
// the console's output code page is UTF-8 (65001), in which plat_shown_name
// writes names then; else 0, names are code-page bytes.  Called once, at
// start-up.
int plat_names_utf8(void);

// The name of an archive's member, stored or made as UTF-8 (a name flagged
// as UTF-8 in a ZIP, a Macintosh name), as the names the walk lists are
// shown, into out (size bytes, NUL included).  POSIX: copied as it is.
// Windows: in the OEM code page (UTF-8 where the console's is, as for
// plat_shown_name), '?' for a character it lacks.  False when it does not
// fit.
bool plat_member_name_from_utf8(const char *utf8, char *out, size_t size);

// The same for a name given as wide characters (an archive library's wide
// form of a name).  Used where PLAT_ARCHIVE_NAMES_WIDE is 1 (Windows);
// POSIX: encoded as UTF-8.
bool plat_member_name_from_wide(const wchar_t *name, char *out, size_t size);

// The character set of the names in DOS archives (ZIP, LHA) that are not
// flagged as UTF-8, as an archive library names it, for the library to
// convert them from: Windows, the OEM code page ("CP437"), as the walk
// reads DOS names; POSIX, NULL: the stored bytes are shown as they are.
const char *plat_dos_names_charset(void);

// An archive library reads the names it converts with UTF-8 as the text
// encoding between plat_archive_names_begin and plat_archive_names_end on
// the calling thread, so that a name stored as UTF-8 comes out as it is
// rather than as a failed conversion to ASCII.  POSIX: the C.UTF-8
// locale's LC_CTYPE for this thread (where the system has it); the
// process's own locale is left alone.  Windows: nothing (names are taken
// in their wide form).
void plat_archive_names_begin(void);
void plat_archive_names_end(void);

// --------------------------------------------------------- help (help-)
// SearchPathW with the standard search order: name (which holds a
// directory) with ext added when it has none, found beside it or not at
// all.  POSIX: when not beside it, the same file name in ../share/kivor/
// of name's directory, where an installed program keeps its data
// (/usr/bin/kivor: /usr/bin/../share/kivor/kivor.hlp).  The found path
// goes to out; returns its length, 0 when not found.
size_t plat_search_file(const char *name, const char *ext, char *out, size_t size);

// Shows the help file.  Windows: in the console a screen at a time
// (pager.h, with the console window's height and width; its keys read as
// plat_raw_key reads them), instead of WinHelpA, which today's Windows no
// longer has.  POSIX: through $PAGER, else less, else more, on a terminal.
// Both: copied to standard output when that is not a console or terminal.
// The result is not reported.
void plat_show_help(const char *path);

// -------------------------------------------------- clock and zone (zone-)
// The standard library's time-zone state after _tzset / tzset.
struct plat_zone {
  long seconds_west;     // _timezone: offset of standard time, west of UTC
  int has_daylight;      // _daylight: nonzero when the zone has DST rules
  const char *std_name;  // _tzname[0], never NULL (may be "")
  const char *dst_name;  // _tzname[1], never NULL (may be "")
};

// Has the library read the time zone (from TZ or the system's settings)
// and fills *zone with it.  The names stay valid until the next call.
void plat_zone_info(struct plat_zone *zone);

// ---------------------------------------- accounting file access (logfile-)
// The accounting file is cleaned through a handle of its own before it is
// opened as a stream.  Reads go through plat_read, closing through
// plat_close.

// CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
// OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL): an existing file, for reading and
// writing, positioned at its start.  PLAT_INVALID_HANDLE on failure (also
// for a directory).
plat_handle plat_open_rw_existing(const char *path);

// The same with CREATE_NEW: creates an empty file; fails when the name
// exists or cannot be created.
plat_handle plat_create_new(const char *path);

// The size in bytes of the regular file open as h; -1 when it is not a
// regular file on disk (a device or pipe) or its size cannot be read.
int64_t plat_file_size(plat_handle h);

// The last-modified time of the file open as h, in seconds since 1970
// (UTC), into *seconds; false when it cannot be read.
bool plat_file_mtime(plat_handle h, int64_t *seconds);

// SetFilePointer to offset, then SetEndOfFile: the file ends at offset.
// Returns 0 on success, -1 on failure.
int plat_truncate(plat_handle h, int64_t offset);

// ------------------------------------------------ digests (digest-)
// MD5, SHA-1 and SHA-256 computed piece by piece.  POSIX: nettle.  Windows:
// the system's CryptoAPI (CryptCreateHash with CALG_MD5, CALG_SHA1 or
// CALG_SHA_256 in a PROV_RSA_AES verify-only context, acquired once).

enum {
  PLAT_DIGEST_MD5 = 1,
  PLAT_DIGEST_SHA1 = 2,
  PLAT_DIGEST_SHA256 = 3,
  PLAT_DIGEST_MAX = 32,  // the bytes of the longest digest
};

// One digest under way: a plain record that holds the whole state (POSIX)
// or the system's hash handle (Windows).
struct plat_digest {
  int algo;    // PLAT_DIGEST_*, 0 when the digest failed or is finished
  bool failed;
  union {
    uint64_t align;
    unsigned char bytes[128];
  } state;
};

// Starts a digest of algo.  False (and d->algo 0) for an unknown algo, or
// when the system cannot provide one; d needs no plat_digest_final then.
bool plat_digest_init(struct plat_digest *d, int algo);

// Adds bytes[0, n) to the digest.  Does nothing once it has failed.
void plat_digest_update(struct plat_digest *d, const void *bytes, size_t n);

// Ends the digest and writes it to out (size bytes): returns its length (16,
// 20 or 32), or 0 when out is too small or the digest failed.  Frees what
// plat_digest_init took: every started digest is ended by this, once.
size_t plat_digest_final(struct plat_digest *d, uint8_t *out, size_t size);

#endif  // KIVOR_PLATFORM_H_
