// The option parser: the command line's option groups, letter by letter.
#include "run/options.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "log/accounting.h"
#include "run/exit.h"
#include "run/abort.h"
#include "run/longopts.h"
#include "search/lists.h"

enum { FULL_WIDTH = 260 };  // the width that -w0 asks for

// Where the argument walk stands while one option group is applied.
struct option_walk {
  int argc;
  char **argv;
  const char *group;  // the option group's text, prefix first
  int pos;            // the letter being applied
  int stand;          // the argument the walk stands on
  struct run_settings *settings;
  int outcome;        // option_outcome: OPTIONS_GO_ON until a letter ends the run
};

// What a letter leaves to do: the group's next letter, nothing more
// because the letter's value took the rest of the group, or nothing at all
// because the run ends (the walk's outcome says how).
enum { NEXT_LETTER, GROUP_DONE, STOP_PARSING };

FILE *(*g_open_accounting)(const char *name) = open_accounting_file;

// Stops the walk with the given outcome.
static int stop(struct option_walk *w, int outcome) {
  w->outcome = outcome;
  return STOP_PARSING;
}

static bool is_option_prefix(char c) {
  return c != '\0' && strchr(PLAT_OPTION_PREFIXES, c) != NULL;
}

// The '+' test of d, r, w and W: the first character of the argument on which
// the walk stands, the group itself or the last item of an earlier list.
static bool plus_stands(const struct option_walk *w) {
  return w->argv[w->stand][0] == '+';
}

// The value of the letter being applied: the rest of the group when the
// letter is not its last character, otherwise the next argument, on which
// the walk then stands.  NULL when there is no next argument.
static const char *take_value(struct option_walk *w) {
  if (w->group[w->pos + 1] != '\0')
    return w->group + w->pos + 1;
  if (w->stand + 1 >= w->argc)
    return NULL;
  return w->argv[++w->stand];
}

// The arguments after the one the walk stands on, up to the next option
// group, each handed to add; the walk stands on the last one taken.
// Without any argument after it the run ends with reason 5.
static int take_list(struct option_walk *w, void (*add)(const char *), bool is_filetype) {
  if (w->stand + 1 >= w->argc)
    return stop(w, OPTIONS_ILLEGAL);
  while (w->stand + 1 < w->argc && !is_option_prefix(w->argv[w->stand + 1][0])) {
    const char *item = w->argv[++w->stand];
    if (is_filetype && strchr(item, PLAT_SEP) != NULL) {
      fprintf(stderr, "Can't have a %s in the file type option\n", PLAT_SEP_STR);
      return stop(w, OPTIONS_ILLEGAL);
    }
    add(item);
  }
  return NEXT_LETTER;
}

// A width as atoi reads it, held to the longest display name the platform
// can produce, sign kept: a full name is shorter than the path limit, and
// shortening gives at most the name, "..." and its last component again
// (under 2 * PLAT_PATH_MAX + 3 characters).  A wider field could only add
// blanks, up to two gigabytes of them on every hit line.
static int32_t read_width(const char *s) {
  long v = strtol(s, NULL, 10);
  if (v > NAME_WIDTH_MAX)
    return NAME_WIDTH_MAX;
  if (v < -NAME_WIDTH_MAX)
    return -NAME_WIDTH_MAX;
  return (int32_t)v;
}

static int opt_accounting(struct option_walk *w) {
  if (w->group[w->pos - 1] == '+') {  // +1 closes the accounting file
    if (close_accounting_file() != 0)
      exit_program(WRITE_ERROR);
    return NEXT_LETTER;
  }
  bool rest = w->group[w->pos + 1] != '\0';
  const char *name = take_value(w);
  if (name == NULL || (!rest && name[0] == '-'))
    return stop(w, OPTIONS_USAGE_WRONG);
  g_acct_file = g_open_accounting(name);  // a second -1 closes the first file
  return GROUP_DONE;
}

static int opt_usage(struct option_walk *w) {
  return stop(w, OPTIONS_USAGE);
}

static int opt_dirs(struct option_walk *w) {
  w->settings->show_dirs = plus_stands(w) ? !w->settings->show_dirs : 0;
  return NEXT_LETTER;
}

static int opt_filetypes(struct option_walk *w) {
  return take_list(w, add_filetype, true);
}

static int opt_paths(struct option_walk *w) {
  return take_list(w, add_searchdir, false);
}

// o adds 1 to the hit-file mode, O adds 2; the last name given is used.
static int opt_hit_file(struct option_walk *w) {
  bool rest = w->group[w->pos + 1] != '\0';
  const char *name = take_value(w);
  if (name == NULL || (!rest && name[0] == '-'))
    return stop(w, OPTIONS_ILLEGAL);
  w->settings->hit_file_mode += w->group[w->pos] == 'o' ? 1 : 2;
  if (plat_full_path(name, g_hit_file_name, PATH_BUF) == 0)
    return stop(w, OPTIONS_ILLEGAL);  // never write the hits somewhere else
  return GROUP_DONE;
}

static int opt_recurse(struct option_walk *w) {
  w->settings->recurse = plus_stands(w) ? !w->settings->recurse : 1;
  return NEXT_LETTER;
}

// Sets the width from the letter's value; 0 (or no number) asks for 260.
static int set_width(struct option_walk *w) {
  const char *value = take_value(w);
  if (value == NULL)
    return stop(w, OPTIONS_ILLEGAL);
  int32_t n = read_width(value);
  w->settings->name_width = n == 0 ? FULL_WIDTH : n;
  return GROUP_DONE;
}

static int opt_width(struct option_walk *w) {
  if (plus_stands(w)) {  // +w flips the shortening style, takes no number
    g_shorten_style = -g_shorten_style;
    return NEXT_LETTER;
  }
  return set_width(w);
}

static int opt_width_style(struct option_walk *w) {
  if (plus_stands(w))  // +W changes nothing
    return NEXT_LETTER;
  g_shorten_style = -g_shorten_style;
  return set_width(w);
}

static int opt_confirm(struct option_walk *w) {
  w->settings->confirm = plus_stands(w) ? !w->settings->confirm : 1;
  return NEXT_LETTER;
}

// a turns archive search on, +a toggles it.
static int opt_archives(struct option_walk *w) {
  w->settings->search_archives = plus_stands(w) ? !w->settings->search_archives : 1;
  return NEXT_LETTER;
}

static int opt_com(struct option_walk *w) {
  w->settings->skip_com = 1;
  return NEXT_LETTER;
}

// The help path, taken for any letter the table does not name: the help
// file, then the usage screen or the end of the run, as the user answers.
// Without a help file the letter was a mistake, and the usage screen says so.
[[noreturn]] static void help_path(const char *program_path) {
  fputs("Wait for help to appear\n", stdout);
  if (!show_help_file(program_path))
    print_usage(ILLEGAL_OPTION);
  fputs("\nDO YOU WISH TO SEE A DOS HELP SCREEN ALSO  (Y/N)? ", stderr);
  int key = prompt_raw_key();
  if (key == 'Y' || key == 'y')
    print_usage(NORMAL_EXIT);
  fputs("\n", stderr);
  exit_program(ILLEGAL_OPTION);
}

void end_run_on_options(int outcome, const char *program_path) {
  switch (outcome) {
    case OPTIONS_USAGE:
      print_usage(NORMAL_EXIT);
    case OPTIONS_USAGE_WRONG:
      print_usage(ILLEGAL_OPTION);
    case OPTIONS_HELP:
      help_path(program_path);
    case OPTIONS_LONG_HELP:
    case OPTIONS_LONG_VERSION:
      run_long_option(outcome);
    default:
      exit_program(ILLEGAL_OPTION);
  }
}

static const struct {
  char letter;
  int (*apply)(struct option_walk *w);
} option_table[] = {
    {'1', opt_accounting}, {'?', opt_usage},     {'a', opt_archives},  {'A', opt_archives},
    {'c', opt_confirm},    {'C', opt_confirm},
    {'d', opt_dirs},       {'D', opt_dirs},
    {'f', opt_filetypes},  {'F', opt_filetypes}, {'o', opt_hit_file},  {'O', opt_hit_file},
    {'p', opt_paths},      {'P', opt_paths},     {'r', opt_recurse},   {'R', opt_recurse},
    {'w', opt_width},      {'W', opt_width_style}, {'x', opt_com},     {'X', opt_com},
};

// Applies one letter of the group and says whether the group goes on.
static int apply_letter(struct option_walk *w) {
  char c = w->group[w->pos];
  for (size_t i = 0; i < sizeof option_table / sizeof option_table[0]; i++)
    if (option_table[i].letter == c)
      return option_table[i].apply(w);
  return stop(w, OPTIONS_HELP);
}

int parse_options(int argc, char **argv, struct run_settings *settings) {
  int i = 1;
  while (i < argc && !is_option_prefix(argv[i][0]))
    i++;  // the leading path arguments
  for (; i < argc && is_option_prefix(argv[i][0]); i++) {
    int long_option = long_option_outcome(argv[i]);  // --help, --version
    if (long_option != OPTIONS_GO_ON)
      return long_option;
    int report = apply_report_option(argv[i], settings);  // --json, --csv, --keys
    if (report == OPTIONS_ILLEGAL)
      return report;
    if (report == OPTIONS_GO_ON)
      continue;
    struct option_walk w = {argc, argv, argv[i], 1, i, settings, OPTIONS_GO_ON};
    int next = NEXT_LETTER;
    while (w.group[w.pos] != '\0' && (next = apply_letter(&w)) == NEXT_LETTER)
      w.pos++;
    if (next == STOP_PARSING)
      return w.outcome;
    i = w.stand;
  }
  if (g_filetypes[0] == NULL)
    add_filetype("*.*");
  if (settings->key_inventory)  // the inventory is made of what -c parses
    settings->confirm = 1;
  return OPTIONS_GO_ON;
}
