// Shared by the POSIX backend files: the pseudo file system test and the
// open of a directory.
#ifndef KIVOR_PLATFORM_PSEUDO_POSIX_H_
#define KIVOR_PLATFORM_PSEUDO_POSIX_H_

// 1 when the open file or directory fd lies on a pseudo file system (proc,
// sys, debugfs and the like), whose files are views of kernel state rather
// than stored data; 0 otherwise, also when the test itself fails.
int plat_fd_on_pseudo_fs(int fd);

#include <fcntl.h>

#ifndef O_NOATIME
#define O_NOATIME 0
#endif

// openat with O_NOATIME when may_noatime, falling back to a plain open on
// EPERM (the kernel allows O_NOATIME only to the file's owner or a
// privileged process, and some file systems check differently).
int plat_open_quietly(int dfd, const char *name, int flags, int may_noatime);

// openat(dfd, name) of a directory, read-only and close-on-exec, with the
// extra flags (O_NOFOLLOW), leaving its access time alone where allowed
// (reading a listing would set it); -1 with errno on failure.
int plat_fd_open_dir(int dfd, const char *name, int flags);

#endif  // KIVOR_PLATFORM_PSEUDO_POSIX_H_
