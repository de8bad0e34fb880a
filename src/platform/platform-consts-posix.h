// The few constants in which POSIX differs from Windows.  Included through
// platform/platform.h as "platform/platform-consts.h" on POSIX builds.
#ifndef KIVOR_PLATFORM_CONSTS_POSIX_H_
#define KIVOR_PLATFORM_CONSTS_POSIX_H_

#define PLAT_SEP '/'                 // path separator
#define PLAT_SEP_STR "/"
#define PLAT_PATH_MAX 4096           // PATH_MAX: longest path, terminator included
#define PLAT_NAME_MAX 256            // NAME_MAX and the terminator
#define PLAT_OPTION_PREFIXES "-+"    // '/' starts an absolute path, never an option

#define PLAT_NAMES_BY_MODE 0          // names are shown by the OEM/ANSI setting (platform.h)
#define PLAT_ARCHIVE_NAMES_WIDE 0     // member names from an archive library: its narrow form

#define PLAT_CRLF "\r\n"              // a CSV row's end, written so (text streams add no CR)

// The platform's lines of the --help screen: the synopsis, the paths in
// the platform's own syntax, and where the manual is.
#define PLAT_HELP_USAGE "Usage: kivor [PATH ...] [OPTIONS]\n"
#define PLAT_HELP_PATHS                                                        \
  "  PATH  a directory (/mnt/disk), a pattern in one (/mnt/disk/*.pgp), one\n" \
  "        file, or a pattern here ('*.asc', quoted); default: the current one\n"
#define PLAT_HELP_PREFIXES "Options come after the paths; letters may share one argument (-rc).\n"
#define PLAT_HELP_MANUAL "The manual: man kivor (the help file kivor.hlp holds it too).\n"

#endif  // KIVOR_PLATFORM_CONSTS_POSIX_H_
