#include "expect.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

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
  return "\nProgram started <time>\n\n\n\n\n" + hits;
}

std::string run_err(const std::string &dir_lines, int searched, int hits) {
  return "\n" + dir_lines + "\nSearched " + std::to_string(searched) + " files, Found " +
         std::to_string(hits) + " possible hits\nElapsed time:  <elapsed>\n\n";
}

// Replaces what follows each occurrence of lead, up to the line's end, by word.
static std::string replace_rest(std::string s, const std::string &lead, const std::string &word) {
  size_t at = 0;
  while ((at = s.find(lead, at)) != std::string::npos) {
    at += lead.size();
    size_t end = s.find('\n', at);
    if (end == std::string::npos)
      end = s.size();
    else if (end > at && s[end - 1] == '\r')  // a text file's CRLF
      end--;
    s.replace(at, end - at, word);
    at += word.size();
  }
  return s;
}

std::string normalise(const std::string &s) {
  return replace_rest(replace_rest(s, "Program started ", "<time>"), "Elapsed time:  ",
                      "<elapsed>");
}

std::string text_file(const std::string &text) {
  return text;
}

std::string program_shown() {
  char real[PATH_MAX];
  std::string bin = kivor_binary();
  return realpath(bin.c_str(), real) != nullptr ? real : bin;
}
