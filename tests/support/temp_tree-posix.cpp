// temp_tree on POSIX: directories, links and FIFOs through the system
// calls, by names relative to open directories where paths may grow
// beyond the path limit.
#include "temp_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include <gtest/gtest.h>

std::string temp_tree::default_base() {
  const char *base = getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

void temp_tree::make_root(const std::string &base) {
  std::string tmpl = base + "/kivor-e2e-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr)
    abort();
  char real[PATH_MAX];
  root_ = realpath(buf.data(), real) != nullptr ? real : buf.data();
}

// Removes everything below the directory open as fd, by relative names, so
// trees deeper than the path limit go too.  Links are removed, not followed.
static void remove_below(int fd) {
  DIR *d = fdopendir(fd);
  if (d == nullptr) {
    close(fd);
    return;
  }
  while (struct dirent *e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
      continue;
    int sub = openat(dirfd(d), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (sub >= 0) {
      remove_below(sub);
      unlinkat(dirfd(d), e->d_name, AT_REMOVEDIR);
    } else {
      unlinkat(dirfd(d), e->d_name, 0);
    }
  }
  closedir(d);
}

temp_tree::~temp_tree() {
  if (!owner_)
    return;
  int fd = open(root_.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0)
    remove_below(fd);
  rmdir(root_.c_str());
}

// Makes every component of rel below the root, one directory at a time, so
// the whole path may be longer than the path limit.
bool temp_tree::try_mkdir(const std::string &rel) const {
  int fd = open(root_.c_str(), O_RDONLY | O_DIRECTORY);
  size_t start = 0;
  while (fd >= 0 && start <= rel.size()) {
    size_t slash = rel.find('/', start);
    if (slash == std::string::npos)
      slash = rel.size();
    std::string part = rel.substr(start, slash - start);
    mkdirat(fd, part.c_str(), 0755);
    int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    start = slash + 1;
  }
  if (fd < 0)
    return false;
  close(fd);
  return true;
}

FILE *temp_tree::open_to_write(const std::string &rel) const {
  return fopen(path(rel).c_str(), "wb");
}

void temp_tree::symlink(const std::string &target, const std::string &rel) const {
  ASSERT_EQ(::symlink(target.c_str(), path(rel).c_str()), 0) << rel;
}

void temp_tree::mkfifo(const std::string &rel) const {
  ASSERT_EQ(::mkfifo(path(rel).c_str(), 0644), 0) << rel;
}

bool temp_tree::exists(const std::string &rel) const {
  struct stat st;
  return lstat(path(rel).c_str(), &st) == 0;
}
