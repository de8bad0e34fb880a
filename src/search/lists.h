// The search lists: directories to walk and file-name patterns to look for.
#ifndef KIVOR_SEARCH_LISTS_H_
#define KIVOR_SEARCH_LISTS_H_

// Appends a copy of pattern to g_filetypes unless an equal one (byte for
// byte) is present.
void add_filetype(const char *pattern);

// Appends the full path of path to g_searchdirs unless an equal one is
// present.  The stored copy has a spare byte for a trailing separator.
void add_searchdir(const char *path);

// Turns one leading command-line argument into a search directory and, when
// it names a file or a pattern, a file-name pattern.
void add_path_argument(const char *arg);

#endif  // KIVOR_SEARCH_LISTS_H_
