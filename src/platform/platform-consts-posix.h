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

#endif  // KIVOR_PLATFORM_CONSTS_POSIX_H_
