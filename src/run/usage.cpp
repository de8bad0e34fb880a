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

void print_help_text(FILE *stream) {
  fputs("KIVOR will search for files that appear to be pgp (<ver 2.6.2) type files\n", stream);
  fputs("KIVOR [dr:\\initial_dir\\files]  -[options[pfrwdO]]\n\n", stream);
  for (const char *line : option_list)
    fputs(line, stream);
  fputs("More options (-x, -1 file, +1, -?, --help, --version): see the help file\n"
        "kivor.hlp or the manual page.\n",
        stream);
}
