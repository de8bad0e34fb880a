#include "expect.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

std::string sep() {
  return windows_target() ? "\\" : "/";
}

std::string target_path(const std::string &native) {
  if (!windows_target())
    return native;
  std::string p = "Z:" + native;
  for (char &c : p)
    if (c == '/')
      c = '\\';
  return p;
}

std::string shown(const temp_tree &tree, const std::string &rel) {
  return target_path(rel.empty() ? tree.root() : tree.path(rel));
}

std::string arg_path(const temp_tree &tree, const std::string &rel) {
  return shown(tree, rel);
}

std::string dir_line(const temp_tree &tree, const std::string &rel) {
  return shown(tree, rel) + sep() + "\n";
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

std::string lost_names_note(int code_page) {
  return "Names shown with '?' hold characters that code page " + std::to_string(code_page) +
         " lacks; after chcp 65001 they are shown whole, and --json writes them whole\n";
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

// Replaces each "Ver. " followed by a stamp of the form dd.dd.dd.dd.dd by
// the stamp's layout, so that outputs of builds made at other times compare.
static std::string replace_version(std::string s) {
  const std::string lead = "Ver. ";
  const char *layout = "YY.MM.DD.hh.mm";
  for (size_t at = s.find(lead); at != std::string::npos; at = s.find(lead, at + 1)) {
    size_t p = at + lead.size();
    bool stamp = p + 14 <= s.size();
    for (size_t i = 0; stamp && i < 14; i++)
      stamp = layout[i] == '.' ? s[p + i] == '.' : (s[p + i] >= '0' && s[p + i] <= '9');
    if (stamp)
      s.replace(p, 14, layout);
  }
  return s;
}

std::string normalise(const std::string &s) {
  return replace_version(replace_rest(replace_rest(s, "Program started ", "<time>"),
                                      "Elapsed time:  ", "<elapsed>"));
}

// A box character as the program writes it: the code page 437 byte on
// Windows, its UTF-8 form on POSIX.
static std::string box(unsigned char byte) {
  if (windows_target())
    return std::string(1, (char)byte);
  static const struct {
    unsigned char byte;
    const char *text;
  } utf8[] = {{0xBA, "\xE2\x95\x91"}, {0xBB, "\xE2\x95\x97"}, {0xBC, "\xE2\x95\x9D"},
              {0xC8, "\xE2\x95\x9A"}, {0xC9, "\xE2\x95\x94"}, {0xCD, "\xE2\x95\x90"},
              {0xFB, "\xE2\x88\x9A"}};
  for (auto &u : utf8)
    if (u.byte == byte)
      return u.text;
  return std::string(1, (char)byte);
}

// One line of the box: text centred between the double bars, as shown in
// 80 columns.  text_columns counts the columns text takes on the screen.
static std::string framed(const std::string &text, size_t text_columns) {
  size_t left = 38 - text_columns / 2 - 1;
  size_t right = 74 - left - text_columns;
  return "  " + box(0xBA) + std::string(left, ' ') + text + std::string(right, ' ') + box(0xBA) +
         "\n";
}

std::string banner() {
  const std::string notice = "KIVOR is free software of the KIVOR project. It comes with no warranty.";
  const std::string contact = "Questions and reports: the KIVOR project's issue tracker";
  std::string rule;
  for (int i = 0; i < 74; i++)
    rule += box(0xCD);
  return std::string(29, '\n') + "  " + box(0xC9) + rule + box(0xBB) + "\n" +
         framed("KIVOR", 5) + framed("Ver. YY.MM.DD.hh.mm" + box(0xFB) + " (32 bit)", 29) +
         framed("", 0) +
         framed(notice, notice.size()) + framed(contact, contact.size()) + "  " +
         box(0xC8) + rule + box(0xBC) + "\n";
}

std::string text_file(const std::string &text) {
  if (!windows_target())
    return text;
  std::string crlf;
  for (char c : text) {
    if (c == '\n')
      crlf += '\r';
    crlf += c;
  }
  return crlf;
}

std::string program_shown() {
  char real[PATH_MAX];
  std::string bin = kivor_binary();
  return target_path(realpath(bin.c_str(), real) != nullptr ? real : bin);
}

std::string copy_program(const temp_tree &bin) {
  const std::string name = windows_target() ? "kivor.exe" : "kivor";
  bin.write(name, read_file(kivor_binary()));
  EXPECT_EQ(chmod(bin.path(name).c_str(), 0755), 0);
  return bin.path(name);
}

std::string help_shown(const std::string &text) {
  return text;
}

std::string command_line(const std::vector<std::string> &args) {
  std::string line = program_shown() + " ";
  for (auto &a : args)
    line += a + " ";
  return line;
}

std::string hit_file_run(const std::vector<std::string> &args, const std::string &hits) {
  return "\nProgram started <time>\n\n\n" + command_line(args) + "\n\n" + hits;
}

void expect_corpus_hits(const std::string &mode, const std::string &folder,
                        const corpus_kinds &want) {
  std::string root = corpus_dir();
  SKIP_WITHOUT_CORPUS(!root.empty());
  std::string dir = root + "/" + folder;
  run_options opt;
  opt.cwd = dir;
  run_result r = run_kivor({mode, "-w", "200"}, opt);
  std::string hits;
  for (auto &w : want)
    hits += hit(target_path(dir + "/" + w.first), w.second, 200);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(normalise(r.out), run_out(hits));
}
