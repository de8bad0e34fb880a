// Searching inside archives (-a): ZIP, LHA, TAR, CPIO, AR, CAB, 7z, RAR,
// ISO 9660 and XAR archives, and single files compressed with gzip, bzip2,
// xz, lzma, zstd or compress.  Nothing is ever extracted to disk: members
// are read from the archive's own stream, and only their first bytes.
//
// Which files are opened as archives: a candidate whose name matches the
// patterns when its first bytes carry an archive's signature, and any file
// whose name ends in one of the archive extensions, matching or not.  The
// reader then decides by content; a file it does not take is an ordinary
// file.  Which members are examined: every regular member whose last
// component matches the patterns (matches_member_patterns); each counts as one file searched and is
// judged by its first 10140 decompressed bytes; a hit line names it as
// archive<sep>member path, the member's separators the platform's.
// Archives inside archives are opened the same way, to a depth of 4.
//
// The containers themselves are read by src/unpack, whatever their format;
// this module decides what is opened and examines what they hold.  Bounds:
// a member is judged by its first 10140 bytes (-c reads on, to 1 MiB); a
// nested container is held in memory when it is at most 8 MiB (one buffer
// per level), a larger one read as a stream from its member, which the
// kinds that need random access (7z) cannot be; a file on disk may cause at
// most 1 GiB of decompressed data, all levels together.
#ifndef KIVOR_SEARCH_ARCHIVE_H_
#define KIVOR_SEARCH_ARCHIVE_H_

#include "platform/platform.h"


// ----------------------------------------------------------- shared rules

// True when the last component of name ends in one of the archive
// extensions (.zip .lzh .lha .tar .tgz .taz .gz .z .bz2 .xz .lzma .zst .7z
// .cab .rar .iso .cpio .ar .xar .arj), in any case, or in an extension of one to
// three characters whose last is '_' (MS COMPRESS: KEYS.PG_).
bool has_archive_extension(const char *name);

// True when the n first bytes b of a file may begin an archive or a
// compressed stream of a supported kind: a cheap test on bytes already read,
// so that no other file costs a system call more.  May say yes to a file
// the reader then refuses; never says no to a supported archive that starts
// at its first byte (an ISO 9660 image is taken when its first n bytes are
// all zero, its system area).
bool archive_signature(const unsigned char *b, long n);

// True when the bare name matches one of the patterns of g_filetypes (up to
// one that begins with '-') by the Windows rules.
bool matches_filetypes(const char *name);

// True when a member whose last component is name is examined: it matches
// one of the patterns that do not end in an archive extension and are not a
// file named exactly by a path argument, or there is no such pattern.  A name of any length is matched.  A pattern that names archives (PGP262.ZIP, *.zip) picks
// them on disk and leaves every member of them to be examined.
bool matches_member_patterns(const char *name);

// With -a, the files of a directory whose names end in an archive extension
// but match none of the patterns are opened as archives only: not counted,
// and nothing is said when one turns out not to be an archive.  False when
// a pattern matches every name, so that no such file can exist, and when no
// pattern has a wildcard: named files are searched alone.
bool archives_beyond_patterns(void);

// True when name (a bare name) is such a file.  Safe beside the examination.
bool archive_only_candidate(const char *name);

// ---------------------------------------------------------- examination

// Searches the file open as h, named name (its full name), whose first n
// bytes are at first, as an archive, when its name or those bytes make it a
// candidate (or it is a program with an archive after it); size is the
// file's size, or -1 when it is not known.  Returns true when the file was read as an archive (its
// members examined, or a message written about it); false when it is no
// archive, with g_inbuf and the shortening buffers untouched.  Moves the
// position of h.  Ends the run on a user abort.
bool search_archive(plat_handle h, const char *name, const unsigned char *first, long n, int64_t size);

#endif  // KIVOR_SEARCH_ARCHIVE_H_
