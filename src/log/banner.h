// The framed banner shown with the usage screen, and the version stamp made
// from the build's date and time.
#ifndef KIVOR_LOG_BANNER_H_
#define KIVOR_LOG_BANNER_H_

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

enum {
  VERSION_STAMP_SIZE = 32,  // "YY.MM.DD.hh.mm", a mark, and room
  BOX_WIDTH = 76,           // every line of the box, columns 0 to 75
  BOX_INNER = 74,           // what fits between the two vertical lines
};

// Writes the banner to the error stream: 30 - n newlines when n is below 30
// (none otherwise), then the seven lines of the 76-column box (name,
// version, blank, notice, contact), each centred in 80 columns.
void print_banner(uint32_t n);

// Writes "KIVOR Ver. " and the banner's version stamp (without its mark)
// as one line to stream.
void print_version_line(FILE *stream);

// The version of print_version_line, without the name, into out.
void version_text(char *out, size_t size);

// print_banner's work, to stream, with the version made from the given
// build date ("Mmm DD YYYY") and time ("hh:mm:ss").
void write_banner(FILE *stream, uint32_t n, const char *date, const char *time);

// The version stamp "YY.MM.DD.hh.mm" of a build date and time, followed by
// mark when it is not NULL, in out (size bytes, always terminated, cut to
// fit).  A month that is not one of the twelve English abbreviations gives
// no month digits; a blank before a one-digit day becomes '0'.
void make_version_stamp(const char *date, const char *time, const char *mark, char *out,
                        size_t size);

// Makes in line (BOX_WIDTH + 1 bytes) a frame line of the box, 0xBA, 74
// blanks and 0xBA, with text placed so that its first byte lands in column
// 38 - floor(length / 2).  A text longer than 74 bytes is cut to 74.
void make_frame_line(const char *text, char *line);

// Writes to stream the blanks that centre text (code page 437 bytes, one
// column each) in width columns, then text shown as the console shows those
// bytes; no newline.  A text wider than the field gets no blanks.
void print_centred(FILE *stream, const char *text, int width);

#endif  // KIVOR_LOG_BANNER_H_
