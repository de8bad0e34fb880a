// The search lists: directories to walk and file-name patterns to look for.
// Both are 16-slot NULL-terminated lists (at most 15 entries) of heap
// copies, filled before the walk and never shrunk.  An entry that does not
// fit is refused with one line on the error stream; a copy that cannot be
// allocated ends the run with INSUFFICIENT MEMORY.
#ifndef KIVOR_SEARCH_LISTS_H_
#define KIVOR_SEARCH_LISTS_H_

// Appends a copy of pattern to g_filetypes unless an equal one (byte for
// byte, so case matters) is present.
void add_filetype(const char *pattern);

// True when the pattern in slot i of g_filetypes came only from a path
// argument that names one file exactly (no wildcards), not from -f: it
// picks that file, and inside an archive it does not filter members.
bool filetype_names_one_file(int i);

// Appends the full path of path (relative paths resolved against the
// current directory) to g_searchdirs unless an equal one is present, by
// the platform's path comparison.  A trailing separator is dropped first,
// except from a root, so "/data" and "/data/" are one entry.  The stored
// copy has a spare byte for the separator the walk needs (walk_root).  A
// path whose full path cannot be formed is refused with a message.
void add_searchdir(const char *path);

// Search directory i as the walk takes it: ending in the separator, which
// is appended in place (into the spare byte) unless it is there, as a
// root's is.  NULL past the last one.
char *walk_root(int i);

// Turns one leading command-line argument into a search directory and, when
// it names a file or a pattern, a file-name pattern: an existing directory
// is added as it is; anything else is split, its directory part added and
// its last component (when not empty) added as a pattern.
void add_path_argument(const char *arg);

#endif  // KIVOR_SEARCH_LISTS_H_
