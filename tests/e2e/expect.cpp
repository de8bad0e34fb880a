#include "expect.h"

#include <stdio.h>

std::string shown(const temp_tree &tree, const std::string &rel) {
  return tree.path(rel);
}

std::string dir_line(const temp_tree &tree, const std::string &rel) {
  return rel.empty() ? tree.root() + "/\n" : tree.path(rel) + "/\n";
}

std::string hit(const std::string &name, const std::string &kind, int width) {
  std::string field = name.substr(0, (size_t)width);
  if (field.size() < (size_t)width)
    field.append((size_t)width - field.size(), ' ');
  return field + " " + kind + "\n";
}

std::string run_out(const std::string &hits) {
  return hits;
}

std::string run_err(const std::string &dir_lines) {
  return "\n" + dir_lines;
}

std::string normalise(const std::string &s) {
  return s;
}
