// Self-extracting archives: a DOS or Windows program with an archive (ZIP,
// LHA, ARJ, CAB or RAR) after it.  Pure: the tests that tell one from an
// ordinary program by a few bytes, so that a tree of programs costs little.
#ifndef KIVOR_UNPACK_SFX_H_
#define KIVOR_UNPACK_SFX_H_

#include <stdint.h>

static const long SFX_LOOK = 4096;  // bytes where the program ends, looked into for an archive
static const long SFX_TAIL = 22;    // bytes at the file's end, looked into for a ZIP end record

// Where the data after the program begins, from the first n bytes b of an
// MZ program of size bytes: past the last section of a Windows (PE)
// program, past the image of a DOS one.  -1 when b is no MZ program or
// nothing follows the program.
int64_t sfx_overlay(const uint8_t *b, long n, int64_t size);

// True when the first n bytes b of an MZ program are those of a 32- or
// 64-bit Windows (PE) program, whose sections tell where it ends.
bool sfx_windows_program(const uint8_t *b, long n);

// True when the n bytes at b, read where the data after a program begins,
// start an archive of a kind that is read (a ZIP local header, an LHA
// header, an ARJ main header, a CAB or RAR signature), allowing for a few
// bytes of padding before it.
bool sfx_archive_at(const uint8_t *b, long n);

// The one rule for both a file and a member held in memory: true when the
// looked bytes at look, read where the program ends, start an archive
// (sfx_archive_at), or the file's last SFX_TAIL bytes at tail (NULL when
// not looked at) are a ZIP end record.
bool sfx_carries_archive(const uint8_t *look, long looked, const uint8_t *tail);

// True when the last SFX_TAIL bytes of a file, at b, are a ZIP end record
// without a comment.
bool sfx_zip_end(const uint8_t *b, long n);

#endif  // KIVOR_UNPACK_SFX_H_
