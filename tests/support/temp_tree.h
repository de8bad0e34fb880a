// A throwaway directory for tests that need real files on disk.
#ifndef KIVOR_TESTS_SUPPORT_TEMP_TREE_H_
#define KIVOR_TESTS_SUPPORT_TEMP_TREE_H_

#include <stdio.h>

#include <string>

// Made under $TMPDIR (or /tmp), named by its real path, and removed with
// everything below it when destroyed.
class temp_tree {
 public:
  temp_tree();
  ~temp_tree();
  temp_tree(const temp_tree &) = delete;
  temp_tree &operator=(const temp_tree &) = delete;

  const std::string &root() const { return root_; }  // no trailing '/'
  std::string path(const std::string &rel) const { return root_ + "/" + rel; }

  void mkdir(const std::string &rel) const;                             // parents too
  void write(const std::string &rel, const std::string &bytes) const;   // parents too
  void symlink(const std::string &target, const std::string &rel) const;
  void mkfifo(const std::string &rel) const;
  std::string read(const std::string &rel) const;       // "" when missing
  std::string read_text(const std::string &rel) const;  // read in text mode
  bool exists(const std::string &rel) const;        // any kind of entry, links too

 private:
  std::string root_;
};

// The whole content of the file at path, "" when it cannot be read.
std::string read_file(const std::string &path);

// What is left to read of f, from where it stands.
std::string read_stream(FILE *f);

#endif  // KIVOR_TESTS_SUPPORT_TEMP_TREE_H_
