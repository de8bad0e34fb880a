// Open directories for the walk: descriptors, with every subdirectory
// opened relative to its parent and never through a link, and the test for
// pseudo file systems.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "platform/pseudo-posix.h"

// The walk holds one descriptor per level, and the reading ahead at most
// one per step it holds (a file read, or a directory left but not yet
// closed: 512 of them).  The soft limit on open files (often 1024) is below
// what the deepest tree the path limit allows needs then, so it is raised
// once towards the hard limit; where that stays lower, the reading ahead
// keeps within what is left (plat_descriptors_spare).
static void allow_deep_walks(void) {
  static int done = 0;
  if (done)
    return;
  done = 1;
  const rlim_t want = PLAT_PATH_MAX / 2 + 64 + 512;
  struct rlimit rl;
  if (getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY || rl.rlim_cur >= want)
    return;
  rl.rlim_cur = rl.rlim_max == RLIM_INFINITY || rl.rlim_max > want ? want : rl.rlim_max;
  setrlimit(RLIMIT_NOFILE, &rl);
}

// Beyond this many descriptors the limit is taken as no limit.
enum { DESCRIPTORS_COUNTED = 1 << 16 };

int plat_descriptors_spare(void) {
  allow_deep_walks();
  struct rlimit rl;
  rlim_t limit = DESCRIPTORS_COUNTED;
  if (getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < limit)
    limit = rl.rlim_cur;
  // The open ones, found by poll: it marks every closed descriptor
  // POLLNVAL, a chunk of them a call.
  struct pollfd chunk[256];
  rlim_t open_now = 0;
  for (rlim_t first = 0; first < limit; first += 256) {
    nfds_t n = limit - first < 256 ? (nfds_t)(limit - first) : 256;
    for (nfds_t i = 0; i < n; i++)
      chunk[i] = {(int)(first + i), 0, 0};
    if (poll(chunk, n, 0) < 0)
      return 0;
    for (nfds_t i = 0; i < n; i++)
      open_now += (chunk[i].revents & POLLNVAL) == 0;
  }
  return (int)(limit - open_now);
}

int plat_fd_open_dir(int dfd, const char *name, int flags) {
  // The owner is not known before the open: a directory of someone
  // else's costs a second open (for root, never).
  return plat_open_quietly(dfd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags, 1);
}

plat_dir plat_dir_open(const char *path) {
  allow_deep_walks();
  int fd = plat_fd_open_dir(AT_FDCWD, path, 0);
  return fd < 0 ? PLAT_NO_DIR : (plat_dir)fd;
}

plat_dir plat_dir_open_sub(plat_dir parent, const char *path, const char *name) {
  (void)path;
  int fd = plat_fd_open_dir((int)parent, name, O_NOFOLLOW);
  return fd < 0 ? PLAT_NO_DIR : (plat_dir)fd;
}

void plat_dir_close(plat_dir d) {
  if (d != PLAT_NO_DIR)
    close((int)d);
}

// Magic numbers the headers may lack.
#define KIVOR_CONFIGFS_MAGIC 0x62656570
#define KIVOR_FUSECTL_MAGIC 0x65735543
#define KIVOR_MQUEUE_MAGIC 0x19800202
#define KIVOR_RPC_PIPEFS_MAGIC 0x67596969
#define KIVOR_NFSD_MAGIC 0x6e667364

// File systems whose files are views of kernel, process or device state:
// reading one can take data from a queue (/proc/kmsg, a pipe of rpc_pipefs),
// block, or set something in motion.
static const unsigned long pseudo_magics[] = {
    PROC_SUPER_MAGIC,     SYSFS_MAGIC,           DEBUGFS_MAGIC,       TRACEFS_MAGIC,
    SECURITYFS_MAGIC,     KIVOR_CONFIGFS_MAGIC,  CGROUP_SUPER_MAGIC,  CGROUP2_SUPER_MAGIC,
    PSTOREFS_MAGIC,       EFIVARFS_MAGIC,        BPF_FS_MAGIC,        DEVPTS_SUPER_MAGIC,
    SELINUX_MAGIC,        SMACK_MAGIC,           BINFMTFS_MAGIC,      RDTGROUP_SUPER_MAGIC,
    NSFS_MAGIC,           USBDEVICE_SUPER_MAGIC, XENFS_SUPER_MAGIC,   BINDERFS_SUPER_MAGIC,
    OPENPROM_SUPER_MAGIC, KIVOR_FUSECTL_MAGIC,   KIVOR_MQUEUE_MAGIC,  KIVOR_RPC_PIPEFS_MAGIC,
    KIVOR_NFSD_MAGIC,
};

int plat_fd_on_pseudo_fs(int fd) {
  struct statfs sf;
  if (fstatfs(fd, &sf) != 0)
    return 0;
  unsigned long type = (unsigned long)(unsigned int)sf.f_type;
  for (unsigned long magic : pseudo_magics)
    if (type == magic)
      return 1;
  return 0;
}

int plat_dir_is_pseudo(plat_dir d) {
  return d != PLAT_NO_DIR && plat_fd_on_pseudo_fs((int)d);
}
