// A throwaway directory for tests that need real files on disk.
#ifndef KIVOR_TESTS_SUPPORT_TEMP_TREE_H_
#define KIVOR_TESTS_SUPPORT_TEMP_TREE_H_

#include <stdio.h>

#include <string>

// Asks for a tree that the child process of a death test shares with its
// parent (see temp_tree's constructor).
struct shared_with_death_test {};

// Made in the system's temporary directory ($TMPDIR or /tmp on POSIX), or
// in base, named by its real path, and removed with everything below it
// when destroyed.  Names below the root (rel) separate their components
// with '/'; root() and path() give native names, with the platform's
// separator.
class temp_tree {
 public:
  temp_tree();
  explicit temp_tree(const std::string &base);
  // For a death test whose statement uses the tree.  Where the death test's
  // child runs the test body anew from its start (on Windows, and in
  // gtest's "threadsafe" style), it takes the tree its parent made, named
  // in the environment, and leaves it in place.
  explicit temp_tree(shared_with_death_test);
  ~temp_tree();
  temp_tree(const temp_tree &) = delete;
  temp_tree &operator=(const temp_tree &) = delete;

  const std::string &root() const { return root_; }  // no trailing separator
  std::string path(const std::string &rel) const;    // root, separator, rel

  void mkdir(const std::string &rel) const;                             // parents too
  bool try_mkdir(const std::string &rel) const;  // mkdir; false where the system refuses (too long)
  void write(const std::string &rel, const std::string &bytes) const;   // parents too
  void symlink(const std::string &target, const std::string &rel) const;
  void mkfifo(const std::string &rel) const;        // POSIX only
  std::string read(const std::string &rel) const;       // "" when missing
  std::string read_text(const std::string &rel) const;  // read in text mode
  bool exists(const std::string &rel) const;        // any kind of entry, links too

 private:
  static std::string default_base();  // the system's temporary directory
  FILE *open_to_write(const std::string &rel) const;  // a new file, however deep
  void make_root(const std::string &base);
  std::string root_;
  bool owner_ = true;  // removes the tree when destroyed
};

// The whole content of the file at path, "" when it cannot be read.
std::string read_file(const std::string &path);

// What is left to read of f, from where it stands.
std::string read_stream(FILE *f);

// Everything written to the temporary stream f, which is then closed.
std::string read_back(FILE *f);

#endif  // KIVOR_TESTS_SUPPORT_TEMP_TREE_H_
