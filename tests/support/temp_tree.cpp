// The parts of temp_tree that are the same on every platform; making and
// removing directories and links is in temp_tree-posix.cpp and
// temp_tree-win32.cpp.
#include "temp_tree.h"

#include <stdio.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include "platform/platform-consts.h"

temp_tree::temp_tree() {
  make_root(default_base());
}

temp_tree::temp_tree(const std::string &base) {
  make_root(base);
}

temp_tree::temp_tree(shared_with_death_test) {
  static const char kName[] = "KIVOR_TEST_SHARED_TREE";
  const char *shared = getenv(kName);
  if (testing::internal::InDeathTestChild() && shared != nullptr && *shared != '\0') {
    root_ = shared;
    owner_ = false;
    return;
  }
  make_root(default_base());
  // putenv keeps this very buffer in the environment (on POSIX): it is
  // rewritten in place, never moved.
  static char setting[4096];
  snprintf(setting, sizeof setting, "%s=%s", kName, root_.c_str());
  putenv(setting);
}

std::string temp_tree::path(const std::string &rel) const {
  std::string p = root_ + PLAT_SEP_STR + rel;
  for (size_t i = root_.size(); i < p.size(); i++)
    if (p[i] == '/')
      p[i] = PLAT_SEP;
  return p;
}

void temp_tree::mkdir(const std::string &rel) const {
  ASSERT_TRUE(try_mkdir(rel)) << "mkdir " << rel;
}

void temp_tree::write(const std::string &rel, const std::string &bytes) const {
  size_t slash = rel.rfind('/');
  if (slash != std::string::npos)
    mkdir(rel.substr(0, slash));
  FILE *f = open_to_write(rel);
  ASSERT_NE(f, nullptr) << path(rel);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

std::string read_stream(FILE *f) {
  std::string s;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0)
    s.append(buf, n);
  return s;
}

std::string read_back(FILE *f) {
  rewind(f);
  std::string s = read_stream(f);
  fclose(f);
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
