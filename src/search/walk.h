// The depth-first, post-order directory walk.
#ifndef KIVOR_SEARCH_WALK_H_
#define KIVOR_SEARCH_WALK_H_

// Walks the tree rooted at dir (a directory string ending in the separator):
// subdirectories first when recursing, then the directory's own files.  A
// directory that cannot be listed ("couldn't list DIR: reason") or that lies
// on a pseudo file system ("not a disk file system, skipped: DIR") is named
// on the error stream and passed over with everything below it.  Each
// directory is held open while it is walked and its entries are reached
// through it; a subdirectory is never entered through a link.
int walk_directory(const char *dir);

// Prints dir when show_dirs is set, then lists dir once for each pattern of
// g_filetypes (up to one that begins with '-') and hands every entry that is
// not a directory to check_file.  A listing that fails for another reason
// than matching nothing is named ("couldn't list DIR/PATTERN: reason").
// Returns 0.
int scan_directory(const char *dir);

#endif  // KIVOR_SEARCH_WALK_H_
