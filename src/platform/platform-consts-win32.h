// The few constants in which Windows differs from POSIX.  Included through
// platform/platform.h as "platform/platform-consts.h" on Windows builds.
#ifndef KIVOR_PLATFORM_CONSTS_WIN32_H_
#define KIVOR_PLATFORM_CONSTS_WIN32_H_

#define PLAT_SEP '\\'                // path separator
#define PLAT_SEP_STR "\\"
// Names are carried in UTF-8 (platform.h), so the limits count its bytes.
#define PLAT_PATH_MAX 32760          // longest path, terminator included: within the
                                     // 32,767 UTF-16 units of the \\?\UNC\ form
#define PLAT_NAME_MAX 778            // cFileName (259 UTF-16 units) in UTF-8, and the terminator
#define PLAT_OPTION_PREFIXES "-+/"   // '/' starts an option group, as '-' and '+' do

#define PLAT_NAMES_BY_MODE 1          // names are shown by the OEM/ANSI setting (platform.h)
#define PLAT_ARCHIVE_NAMES_WIDE 1     // member names from an archive library: its wide form

#define PLAT_CRLF "\n"                // a CSV row's end: text streams make it CR LF

// The platform's lines of the --help screen: the synopsis, the paths in
// the platform's own syntax, and where the manual is.
#define PLAT_HELP_USAGE "Usage: KIVOR [PATH ...] [OPTIONS]\n"
#define PLAT_HELP_PATHS                                                         \
  "  PATH  a directory (C:\\DATA), a pattern in one (C:\\DATA\\*.PGP), one file,\n" \
  "        or a pattern here (*.ASC); default: the current directory\n"
#define PLAT_HELP_PREFIXES \
  "Options come after the paths, with - or /; letters may share one (-rc).\n"
#define PLAT_HELP_MANUAL \
  "The manual: the help file KIVOR.HLP beside KIVOR.EXE (KIVOR -h shows it).\n"

#endif  // KIVOR_PLATFORM_CONSTS_WIN32_H_
