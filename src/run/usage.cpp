// The usage screen and the option list.
#include <stdio.h>

#include "log/banner.h"
#include "run/exit.h"
#include "run/options.h"
#include "run/abort.h"

static const char *const option_list[] = {
    "-f + filetype: additional filetypes to search for seperated by spaces. \n",
    "               (i.e. *.c *.bat, default == *.*. (no paths allowed here)\n",
    "-p + path(s):  additonal paths to search in separated by spaces\n",
    "               (i.e.  -p c:\\work  c:\\bin d:\\). no filetypes allowed here\n",
    "-r:            Recurse through path provided, default is NOT to recurse\n",
    "-d:            Normally the current directory is printed.\n",
    "               Use the -d for (no directory printing).\n",
    "-wW + #:       limit filename length to # characters, default is 80 MAX,\n",
    "-oO + file:    name of output file to place hits to\n",
    "-c:            Confirm each hit by parsing it, and find what the first bytes hide\n",
    "-a:            Search inside archives too (zip lzh tar cab 7z rar iso gz ...):\n",
    "               files named *.zip *.tgz ... always, others matching the\n",
    "               filetypes when their content is an archive. +a toggles\n",
    "\n\n",
};

void print_usage(int reason) {
  print_banner(1);
  fputs("\n\n\nKIVOR will search for files that appear to be pgp (<ver 2.6.2) type files\n", stdout);
  fputs("KIVOR [dr:\\initial_dir\\files]  -[options[pfrwdOc]]\n\n", stdout);
  fputs("\n\n Hit return to continue and see options \n", stdout);
  (void)prompt_char();  // the character is discarded
  print_option_list();
  exit_program(reason);
}

void print_option_list(void) {
  print_banner(1);
  for (const char *line : option_list)
    fputs(line, stderr);
}

// The --help screen; the platform gives its synopsis and paths.
static const char help_screen[] =
    "KIVOR finds files that look like PGP 2.x material: key rings, encrypted\n"
    "messages, signatures and ASCII armour, also inside archives (-a).\n"
    "\n" PLAT_HELP_USAGE PLAT_HELP_PATHS PLAT_HELP_PREFIXES
    "  -f PATTERN ...  also look for these patterns (default *.*)\n"
    "  -p DIR ...      also search these directories\n"
    "  -r              search subdirectories too (+r toggles)\n"
    "  -d              do not print each directory as it is searched (+d toggles)\n"
    "  -w N            names in a field of N characters (default 50); +w switches\n"
    "                  how long names are shortened\n"
    "  -W N            the other shortening (start ... last component), width N\n"
    "  -o FILE         the hits to FILE, emptied first; -O FILE appends to it\n"
    "  -1 FILE         append a record of the run to the accounting file FILE;\n"
    "                  +1 closes the one named before\n"
    "  -x              count .COM files without reading them\n"
    "  -c              confirm: only material that parses, named as found (+c)\n"
    "  -a              search inside archives too (+a toggles)\n"
    "  -?              the usage screen of the first versions\n"
    "  --json          the hits as JSON Lines: size, time, SHA-256, material (-c)\n"
    "  --csv           the hits as CSV rows, the same columns for every hit\n"
    "  --keys          after the hits, every key found and what refers to it (-c)\n"
    "  --help          this screen      --version  the version\n"
    "Exit status: 0 the search ran (found or not), 1 Esc, 2 Ctrl-C, 3 an output\n"
    "file refused, 5 a wrong option, 6 out of memory, 7 stopped, 8 a write failed.\n"
    PLAT_HELP_MANUAL;

void print_help_text(FILE *stream) {
  fputs(help_screen, stream);
}
