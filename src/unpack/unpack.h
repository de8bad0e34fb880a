// Reading containers: archives, compressed files and the like, whatever
// their format.  The examination (search/archive.cpp) opens a container on
// a source, asks it for its members one after another and reads each
// member's bytes, without knowing the format; each format is a module of
// this folder that fills one row of the format table (unpack.cpp).
//
// Everything here is bounded and abortable: a container on disk may cause
// at most UNPACK_WORK_LIMIT decompressed bytes, all nesting levels together
// (unpack_count), and the modules look for Esc and the stop signals at
// every block they read (unpack_poll).
#ifndef KIVOR_UNPACK_UNPACK_H_
#define KIVOR_UNPACK_UNPACK_H_

#include <stddef.h>
#include <stdint.h>

#include "platform/platform.h"

// Containers below containers are opened down to this depth (1 is a file
// on disk).
enum { UNPACK_MAX_DEPTH = 4 };

static const int64_t UNPACK_WORK_LIMIT = (int64_t)1 << 30;  // 1 GiB per file on disk

// ------------------------------------------------------------- sources

// What a container is read from.
enum unpack_source_kind {
  UNPACK_FILE,    // a file on disk, open as file: it can seek
  UNPACK_MEMORY,  // a member held whole in memory
  UNPACK_STREAM,  // a member too large for that: its first bytes in memory, then the rest
};

struct unpack_stream;

struct unpack_source {
  enum unpack_source_kind kind;
  int depth;                    // 1 for a file on disk
  const char *name;             // the container's own name (its last component), as shown
  plat_handle file;             // UNPACK_FILE
  const uint8_t *memory;        // UNPACK_MEMORY: the member; UNPACK_STREAM: its first bytes
  size_t held;                  // how many bytes memory holds
  size_t pos;                   // UNPACK_MEMORY: where the next read starts
  bool handed;                  // UNPACK_STREAM: memory's bytes were handed out
  bool reused;                  // UNPACK_STREAM: memory was read into again, over them
  struct unpack_stream *rest;   // UNPACK_STREAM: the rest of the member
  uint8_t *block;               // UNPACK_STREAM: where the rest is read to (the memory's buffer)
  size_t block_size;
  int64_t offset;               // where the next byte handed out lies
  const uint8_t *left;          // unpack_source_read: the rest of the last block
  size_t left_len;
};

// The next bytes of src, without copying where it can: *block points to up
// to UNPACK_BLOCK of them, valid until the next call.  Returns how many (0
// at the end), or -1 when the read failed.
static const size_t UNPACK_BLOCK = 64 * 1024;
long unpack_source_block(struct unpack_source *src, const uint8_t **block);

// Up to count bytes of src into out, copied: how many (0 at the end), or -1
// when the read failed.  A module reads a source either by blocks or so,
// not both.
long unpack_source_read(struct unpack_source *src, uint8_t *out, size_t count);

// unpack_source_read of at most *left bytes, which it lowers by what it
// gives, looking for a stop first: a member's compressed bytes, for a
// decoder's pull.
long unpack_source_pull(struct unpack_source *src, int64_t *left, uint8_t *out, size_t count);

// Where the next byte of src lies.
int64_t unpack_source_tell(const struct unpack_source *src);

// Moves src to offset (whence 0: from the start, 1: from here, 2: from the
// end); the new position, or -1 where the source cannot seek (a stream).
int64_t unpack_source_seek(struct unpack_source *src, int64_t offset, int whence);

// Makes src start again at its first byte; false when it cannot (a stream
// whose first bytes were read over).
bool unpack_source_rewind(struct unpack_source *src);

// True when src can seek.
bool unpack_source_seekable(const struct unpack_source *src);

// ------------------------------------------------------------- members

// One member as a container gives it.  The strings stay valid until the
// reader's next call.
struct unpack_member {
  const char *path;    // as stored, '/' between components; never NULL
                       // (a compressed file's one member is named after the file)
  bool regular;        // a file's data (not a folder, link or device)
  bool second_name;    // a hard link to data examined under its first name
  bool encrypted;      // its data is encrypted: not read
  bool utf8;           // path is UTF-8 (else the bytes stored, in the
                       // archive's code page, or as the library gives them)
  bool has_mtime;      // mtime is known: its last change, in seconds since
  int64_t mtime;       // 1970 (UTC); readers that do not know leave both 0
};

// What a format's routines return.
enum unpack_status {
  UNPACK_OK = 0,
  UNPACK_END = 1,        // next: no more members
  UNPACK_NONE = 2,       // open: not a container of this format (the source rewound)
  UNPACK_FAILED = 3,     // the container cannot be read on; error says why
  UNPACK_WHOLE = 4,      // the container needs random access, and the source is a stream
};

// One row of the format table.  A reader's memory is the module's own, one
// reader per depth at a time.
struct unpack_format {
  const char *name;
  // Opens a reader at src->depth on src, whose first n bytes are first.
  // UNPACK_OK, with *reader set; UNPACK_NONE; UNPACK_FAILED when the
  // source is of this format but cannot be read (error then says why, with
  // the reader to ask, which close must still be given).
  int (*open)(struct unpack_source *src, const uint8_t *first, long n, void **reader);
  // The next member into *m: UNPACK_OK, UNPACK_END, UNPACK_FAILED or
  // UNPACK_WHOLE.  Whatever of the current member was not read is passed
  // over first.
  int (*next)(void *reader, struct unpack_member *m);
  // Up to count bytes of the current member: how many (0 at its end), or
  // -1 when they cannot be read (error says why; next then decides whether
  // the container goes on).  Counted with unpack_count by the module where
  // it decompresses them.
  long (*read)(void *reader, uint8_t *out, size_t count);
  // Why the last call failed, in a few words.
  const char *(*error)(void *reader);
  // Ends the reader.
  void (*close)(void *reader);
};

// True when the n bytes at first are a container in text with text of its
// own before it (a mail that carries a BinHex attachment): such a file is
// judged as a file too, not only searched.
bool unpack_text_around(const uint8_t *first, long n);

// The formats, in the order they are tried; NULL after the last.
extern const struct unpack_format *const unpack_formats[];

// ---------------------------------------------------------------- bounds

// Starts the work count of a file on disk.
void unpack_start(void);

// Counts n decompressed bytes; false once the work limit is passed (and
// ever after, until unpack_start).
bool unpack_count(int64_t n);

// True when the work limit stopped this file's reading.
bool unpack_exhausted(void);

// Ends the run when Esc or a stop has come.
void unpack_poll(void);

// ---------------------------------------------------------------- streams

// A member's bytes as the examination reads them: bytes taken from it
// already (held), handed out first, then those of the stream it goes on
// from (next), or of the reader whose current member it is.
struct unpack_stream {
  const struct unpack_format *format;
  void *reader;
  struct unpack_stream *next;
  const uint8_t *held;
  size_t held_len;
};

// Up to count bytes of the member: how many (0 at its end), -1 on failure.
long unpack_stream_read(struct unpack_stream *m, uint8_t *out, size_t count);

// Why the last read of m failed.
const char *unpack_stream_error(const struct unpack_stream *m);

#endif  // KIVOR_UNPACK_UNPACK_H_
