// Shared by the POSIX backend files: the pseudo file system test.
#ifndef KIVOR_PLATFORM_PSEUDO_POSIX_H_
#define KIVOR_PLATFORM_PSEUDO_POSIX_H_

// 1 when the open file or directory fd lies on a pseudo file system (proc,
// sys, debugfs and the like), whose files are views of kernel state rather
// than stored data; 0 otherwise, also when the test itself fails.
int plat_fd_on_pseudo_fs(int fd);

#endif  // KIVOR_PLATFORM_PSEUDO_POSIX_H_
