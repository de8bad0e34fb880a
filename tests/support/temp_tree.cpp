#include "temp_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include <gtest/gtest.h>

temp_tree::temp_tree() {
  const char *base = getenv("TMPDIR");
  std::string tmpl = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kivor-e2e-XXXXXX";
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
  int fd = open(root_.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0)
    remove_below(fd);
  rmdir(root_.c_str());
}

// Makes every component of rel below the root, one directory at a time, so
// the whole path may be longer than the path limit.
void temp_tree::mkdir(const std::string &rel) const {
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
  ASSERT_GE(fd, 0) << "mkdir " << rel;
  close(fd);
}

void temp_tree::write(const std::string &rel, const std::string &bytes) const {
  size_t slash = rel.rfind('/');
  if (slash != std::string::npos)
    mkdir(rel.substr(0, slash));
  FILE *f = fopen(path(rel).c_str(), "wb");
  ASSERT_NE(f, nullptr) << path(rel);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

void temp_tree::symlink(const std::string &target, const std::string &rel) const {
  ASSERT_EQ(::symlink(target.c_str(), path(rel).c_str()), 0) << rel;
}

void temp_tree::mkfifo(const std::string &rel) const {
  ASSERT_EQ(::mkfifo(path(rel).c_str(), 0644), 0) << rel;
}

std::string read_stream(FILE *f) {
  std::string s;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0)
    s.append(buf, n);
  return s;
}

// The file's content, opened in mode ("rb" or "r").
static std::string read_with_mode(const std::string &path, const char *mode) {
  FILE *f = fopen(path.c_str(), mode);
  if (f == nullptr)
    return "";
  std::string s = read_stream(f);
  fclose(f);
  return s;
}

std::string read_file(const std::string &path) {
  return read_with_mode(path, "rb");
}

std::string temp_tree::read(const std::string &rel) const {
  return read_file(path(rel));
}

std::string temp_tree::read_text(const std::string &rel) const {
  return read_with_mode(path(rel), "r");
}

bool temp_tree::exists(const std::string &rel) const {
  struct stat st;
  return lstat(path(rel).c_str(), &st) == 0;
}
