// The option parser: the command line's option groups, letter by letter.
#include "run/options.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "log/accounting.h"
#include "run/exit.h"
#include "run/abort.h"
#include "search/archive.h"
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
};

// What a letter leaves to do: the group's next letter, or nothing more
// because the letter's value took the rest of the group.
enum { NEXT_LETTER, GROUP_DONE };

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
static void take_list(struct option_walk *w, void (*add)(const char *), bool is_filetype) {
  if (w->stand + 1 >= w->argc)
    exit_program(ILLEGAL_OPTION);
  while (w->stand + 1 < w->argc && !is_option_prefix(w->argv[w->stand + 1][0])) {
    const char *item = w->argv[++w->stand];
    if (is_filetype && strchr(item, PLAT_SEP) != NULL) {
      fprintf(stderr, "Can't have a %s in the file type option\n", PLAT_SEP_STR);
      exit_program(ILLEGAL_OPTION);
    }
    add(item);
  }
}

// A decimal number as atoi reads it, held to the 32-bit range.  The lowest
// 32-bit value is left out: a field width is negated to left-align it, and
// that value has no positive counterpart.
static int32_t read_number(const char *s) {
  long v = strtol(s, NULL, 10);
  if (v > INT32_MAX)
    return INT32_MAX;
  if (v < -INT32_MAX)
    return -INT32_MAX;
  return (int32_t)v;
}

static int opt_accounting(struct option_walk *w) {
  if (w->group[w->pos - 1] == '+') {  // +1 closes the accounting file
    close_accounting_file();
    return NEXT_LETTER;
  }
  bool rest = w->group[w->pos + 1] != '\0';
  const char *name = take_value(w);
  if (name == NULL || (!rest && name[0] == '-'))
    print_usage();
  override_accounting_file(name);  // a second -1 closes the first file
  g_acct_file = open_accounting_file(name);
  return GROUP_DONE;
}

static int opt_usage(struct option_walk *) {
  print_usage();
}

static int opt_dirs(struct option_walk *w) {
  w->settings->show_dirs = plus_stands(w) ? !w->settings->show_dirs : 0;
  return NEXT_LETTER;
}

static int opt_filetypes(struct option_walk *w) {
  take_list(w, add_filetype, true);
  return NEXT_LETTER;
}

static int opt_paths(struct option_walk *w) {
  take_list(w, add_searchdir, false);
  return NEXT_LETTER;
}

// o adds 1 to the hit-file mode, O adds 2; the last name given is used.
static int opt_hit_file(struct option_walk *w) {
  bool rest = w->group[w->pos + 1] != '\0';
  const char *name = take_value(w);
  if (name == NULL || (!rest && name[0] == '-'))
    exit_program(ILLEGAL_OPTION);
  w->settings->hit_file_mode += w->group[w->pos] == 'o' ? 1 : 2;
  if (plat_full_path(name, g_hit_file_name, PATH_BUF) == 0)
    exit_program(ILLEGAL_OPTION);  // never write the hits somewhere else
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
    exit_program(ILLEGAL_OPTION);
  int32_t n = read_number(value);
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

// a turns archive search on, +a toggles it; a build without an archive
// reader refuses to turn it on.
static int opt_archives(struct option_walk *w) {
  int on = plus_stands(w) ? !w->settings->search_archives : 1;
  if (on && !archive_search_available()) {
    fputs("archive search is not available in this build\n", stderr);
    exit_program(ILLEGAL_OPTION);
  }
  w->settings->search_archives = on;
  return NEXT_LETTER;
}

static int opt_com(struct option_walk *w) {
  w->settings->skip_com = 1;
  return NEXT_LETTER;
}

// Any letter the table does not name: the help file, then the usage screen
// or the end of the run, as the user answers.
static int opt_help(struct option_walk *w) {
  fputs("Wait for help to appear\n", stdout);
  if (!show_help_file(w->argv[0]))
    print_usage();
  fputs("\nDO YOU WISH TO SEE A DOS HELP SCREEN ALSO  (Y/N)? ", stderr);
  int key = prompt_raw_key();
  if (key == 'Y' || key == 'y')
    print_usage();
  fputs("\n", stderr);
  exit_program(ILLEGAL_OPTION);
}

static const struct {
  char letter;
  int (*apply)(struct option_walk *w);
} option_table[] = {
    {'1', opt_accounting}, {'?', opt_usage},     {'a', opt_archives},  {'A', opt_archives},
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
  return opt_help(w);
}

int parse_options(int argc, char **argv, struct run_settings *settings) {
  int i = 1;
  while (i < argc && !is_option_prefix(argv[i][0]))
    i++;  // the leading path arguments
  for (; i < argc && is_option_prefix(argv[i][0]); i++) {
    struct option_walk w = {argc, argv, argv[i], 1, i, settings};
    while (w.group[w.pos] != '\0' && apply_letter(&w) == NEXT_LETTER)
      w.pos++;
    i = w.stand;
  }
  if (g_filetypes[0] == NULL)
    add_filetype("*.*");
  return 0;
}
