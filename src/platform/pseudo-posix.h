// Shared by the POSIX backend files: the pseudo file system test and the
// open of a directory.
#ifndef KIVOR_PLATFORM_PSEUDO_POSIX_H_
#define KIVOR_PLATFORM_PSEUDO_POSIX_H_

// 1 when the open file or directory fd lies on a pseudo file system (proc,
// sys, debugfs and the like), whose files are views of kernel state rather
// than stored data; 0 otherwise, also when the test itself fails.
int plat_fd_on_pseudo_fs(int fd);

// openat(dfd, name) of a directory, read-only and close-on-exec, with the
// extra flags (O_NOFOLLOW); -1 with errno on failure.
int plat_fd_open_dir(int dfd, const char *name, int flags);

#endif  // KIVOR_PLATFORM_PSEUDO_POSIX_H_
