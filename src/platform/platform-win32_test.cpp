// The Win32 backend against the system itself (run under Wine on Linux).
#include <string.h>
#include <time.h>
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/wide-win32.h"
#include "temp_tree.h"

namespace {

// The shared temporary tree, with attributes set after a file is written.
class temp_dir {
 public:
  const std::string &root() const { return tree_.root(); }
  std::string path(const std::string &rel) const { return tree_.path(rel); }
  void mkdir(const std::string &rel) const { tree_.mkdir(rel); }
  void write(const std::string &rel, const std::string &bytes, DWORD attributes = 0) const {
    tree_.write(rel, bytes);
    if (attributes != 0) {
      ASSERT_TRUE(SetFileAttributesA(path(rel).c_str(), attributes)) << rel;
    }
  }

 private:
  temp_tree tree_;
};

// Makes dir the current directory for a scope.
class in_directory {
 public:
  explicit in_directory(const std::string &dir) {
    GetCurrentDirectoryA(sizeof saved_, saved_);
    EXPECT_TRUE(SetCurrentDirectoryA(dir.c_str())) << dir;
  }
  ~in_directory() { SetCurrentDirectoryA(saved_); }

 private:
  char saved_[MAX_PATH] = "";
};

// Restores the file-name interpretation a test changes.
class keep_file_apis {
 public:
  keep_file_apis() : ansi_(plat_file_apis_are_ansi()) {}
  ~keep_file_apis() { ansi_ ? plat_set_file_apis_ansi() : plat_set_file_apis_oem(); }

 private:
  int ansi_;
};

struct found {
  std::string name;
  uint32_t attributes;
};

std::vector<found> list(const std::string &search) {
  std::vector<found> out;
  struct plat_find_data fd;
  struct plat_find *h = plat_find_first(search.c_str(), &fd);
  if (h == nullptr)
    return out;
  do
    out.push_back({fd.name, fd.attributes});
  while (plat_find_next(h, &fd));
  plat_find_close(h);
  return out;
}

const found *find(const std::vector<found> &v, const std::string &name) {
  for (const auto &f : v)
    if (f.name == name)
      return &f;
  return nullptr;
}

std::string full(const std::string &path) {
  char out[PLAT_PATH_MAX];
  size_t n = plat_full_path(path.c_str(), out, sizeof out);
  if (n == 0)
    return "<fail>";
  EXPECT_EQ(n, strlen(out));
  return out;
}

// ------------------------------------------------------------- listing

TEST(Win32Listing, DotsAttributesAndCase) {
  temp_dir t;
  t.write("b.txt", "");
  t.write("secret.pgp", "", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  t.mkdir("Sub");
  SetFileAttributesA(t.path("Sub").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
  std::vector<found> all = list(t.path("*.*"));
  ASSERT_GE(all.size(), 5u);
  // A directory that is not a drive root lists "." and ".." first.
  EXPECT_EQ(all[0].name, ".");
  EXPECT_EQ(all[1].name, "..");
  EXPECT_EQ(all[0].attributes, (uint32_t)PLAT_ATTR_DIRECTORY);
  // Only the directory and reparse bits come through.
  ASSERT_NE(find(all, "secret.pgp"), nullptr);
  EXPECT_EQ(find(all, "secret.pgp")->attributes, 0u);
  ASSERT_NE(find(all, "Sub"), nullptr);
  EXPECT_EQ(find(all, "Sub")->attributes, (uint32_t)PLAT_ATTR_DIRECTORY);
  // Matching ignores case; an exact name is looked up case-insensitively.
  std::vector<found> txt = list(t.path("*.TXT"));
  ASSERT_EQ(txt.size(), 1u);
  EXPECT_EQ(txt[0].name, "b.txt");
  ASSERT_EQ(list(t.path("SUB")).size(), 1u);
  EXPECT_EQ(list(t.path("SUB"))[0].name, "Sub");
  EXPECT_TRUE(list(t.path("*.none")).empty());
  EXPECT_TRUE(list(t.path("missing\\*.*")).empty());
}

// A directory the walk holds cannot be renamed away (and so not replaced by
// a link) until it is let go; a subdirectory that is a link is refused.
TEST(Win32Dirs, HeldDirectoriesStayAndLinksAreNotEntered) {
  temp_dir t;
  t.mkdir("Sub");
  plat_dir d = plat_dir_open_sub(PLAT_NO_DIR, t.path("Sub\\").c_str(), "Sub");
  ASSERT_NE(d, PLAT_NO_DIR);
  EXPECT_EQ(plat_dir_is_pseudo(d), 0);
  EXPECT_FALSE(MoveFileA(t.path("Sub").c_str(), t.path("Moved").c_str()));
  plat_dir_close(d);
  EXPECT_TRUE(MoveFileA(t.path("Sub").c_str(), t.path("Moved").c_str()));
  if (!CreateSymbolicLinkA(t.path("Link").c_str(), t.path("Moved").c_str(),
                           SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2))
    GTEST_SKIP() << "no directory links here";
  EXPECT_EQ(plat_dir_open_sub(PLAT_NO_DIR, t.path("Link").c_str(), "Link"), PLAT_NO_DIR);
}

TEST(Win32Listing, LimitsAndReuse) {
  temp_dir t;
  t.write("f", "");
  // A search string at the path limit is refused before the system sees it.
  std::string deep = t.root() + "\\" + std::string(PLAT_PATH_MAX, 'a') + "\\*.*";
  EXPECT_TRUE(list(deep).empty());
  EXPECT_TRUE(list(std::string(PLAT_PATH_MAX, 'a')).empty());
  // Two listings at once stay apart, and closed ones are reused.
  struct plat_find_data a, b;
  struct plat_find *ha = plat_find_first(t.path("*").c_str(), &a);
  struct plat_find *hb = plat_find_first(t.path("f").c_str(), &b);
  ASSERT_NE(ha, nullptr);
  ASSERT_NE(hb, nullptr);
  EXPECT_STREQ(b.name, "f");
  EXPECT_FALSE(plat_find_next(hb, &b));
  plat_find_close(hb);
  struct plat_find *hc = plat_find_first(t.path("f").c_str(), &b);
  ASSERT_NE(hc, nullptr);
  plat_find_close(hc);
  EXPECT_STREQ(a.name, ".");
  EXPECT_TRUE(plat_find_next(ha, &a));
  EXPECT_STREQ(a.name, "..");
  EXPECT_TRUE(plat_find_next(ha, &a));
  EXPECT_STREQ(a.name, "f");
  EXPECT_FALSE(plat_find_next(ha, &a));
  plat_find_close(ha);
  plat_find_close(nullptr);
  EXPECT_FALSE(plat_find_next(nullptr, &a));
}

// ------------------------------------------------------------- names

// UTF-8 and UTF-16 both ways: an unpaired surrogate survives the round
// trip (a name may hold one), a byte that starts no character does not,
// and neither side is written past its end.
TEST(Win32Names, Utf8AndUtf16BothWays) {
  struct {
    const char *utf8;
    std::wstring wide;
    bool round_trip;
  } rows[] = {
      {"KEY.PGP", L"KEY.PGP", true},
      {"\xc3\xa9\xd0\xba\xe6\x97\xa5", L"\u00e9\u043a\u65e5", true},
      {"\xf0\x9f\x94\x91", L"\xd83d\xdd11", true},        // a pair: one character
      {"\xed\xa0\xbdx\xed\xb4\x91", L"\xd83dx\xdd11", true},  // lone halves
      {"a\xff\xc3", L"a\xfffd\xfffd", false},              // no characters
      {"\xe0\x80\xaf", L"\xfffd\xfffd\xfffd", false},      // overlong
  };
  for (auto &r : rows) {
    wchar_t w[16];
    char back[32];
    ASSERT_EQ(wide_from_utf8(r.utf8, w, 16), (long)r.wide.size()) << r.utf8;
    EXPECT_EQ(std::wstring(w), r.wide) << r.utf8;
    long n = utf8_from_wide(w, r.wide.size(), back, sizeof back);
    EXPECT_EQ(r.round_trip, n >= 0 && std::string(back) == r.utf8) << r.utf8;
  }
  wchar_t small[3];
  char tiny[4];
  EXPECT_EQ(wide_from_utf8("abc", small, 3), -1);  // no room for the terminator
  EXPECT_EQ(utf8_from_wide(L"\u65e5x", 2, tiny, sizeof tiny), -1);
}

// The form the wide calls are given: as it is while short; beyond that the
// \\?\ form, of the path itself when the walk made it (a dot at its end
// kept), else of its full path.
TEST(Win32Names, LongPathsTakeTheirLongForm) {
  const std::string deep = "\\" + std::string(300, 'd');
  struct {
    std::string path;
    std::string want;  // "" for the path itself
  } rows[] = {
      {"C:\\DATA\\KEY.PGP", ""},
      {"NUL", ""},
      {"C:" + deep + "\\k.", "\\\\?\\C:" + deep + "\\k."},
      {"\\\\srv\\share" + deep, "\\\\?\\UNC\\srv\\share" + deep},
      {"C:" + deep + "\\x\\..\\k", "\\\\?\\C:" + deep + "\\k"},
      {"C:" + deep + "/k", "\\\\?\\C:" + deep + "\\k"},
      {"\\\\?\\C:" + deep, ""},
  };
  for (auto &r : rows) {
    static wchar_t out[WIDE_PATH_MAX];
    ASSERT_TRUE(wide_path(r.path.c_str(), out)) << r.path;
    std::string got(out, out + wcslen(out));  // ASCII
    EXPECT_EQ(got, r.want.empty() ? r.path : r.want);
  }
  static wchar_t out[WIDE_PATH_MAX];
  EXPECT_FALSE(wide_path(("C:\\" + std::string(WIDE_PATH_MAX, 'x')).c_str(), out));
}

// One file, whatever the interpretation: listed and opened by its UTF-8
// name.  Only how names are shown follows it (e-acute: 0xE9 in ANSI 1252,
// 0x82 in OEM 437); what neither code page has is '?', and the note on
// such names is due.
TEST(Win32Names, FoundWhateverTheInterpretationShownByIt) {
  if (GetACP() != 1252 || GetOEMCP() != 437)
    GTEST_SKIP() << "code pages " << GetACP() << "/" << GetOEMCP();
  keep_file_apis keep;
  plat_lost_names_note();  // what other tests lost is told already
  temp_dir t;
  const std::string e_acute = "\xc3\xa9t\xc3\xa9.pgp", cyrillic = "\xd0\xba\xd0\xbb.pgp",
                    japanese = "\xe6\x97\xa5.pgp";
  for (const std::string &name : {e_acute, cyrillic, japanese})
    t.write(name, "\x99xyz");
  struct {
    bool ansi;
    const std::string &name;
    const char *shown;
    int alike;
  } rows[] = {
      {true, e_acute, "\xe9t\xe9.pgp", 0}, {false, e_acute, "\x82t\x82.pgp", 0},
      {true, cyrillic, "??.pgp", 0},       {false, japanese, "?.pgp", 0},
  };
  for (auto &r : rows) {
    SCOPED_TRACE(r.shown);
    r.ansi ? plat_set_file_apis_ansi() : plat_set_file_apis_oem();
    EXPECT_NE(find(list(t.path("*.pgp")), r.name), nullptr);
    plat_handle h = plat_open_read(t.path(r.name).c_str());
    ASSERT_NE(h, PLAT_INVALID_HANDLE);
    char buf[16];
    EXPECT_EQ(plat_read(h, buf, sizeof buf), 4);
    plat_close(h);
    char out[64];
    EXPECT_STREQ(plat_shown_name(r.name.c_str(), out, sizeof out), r.shown);
    EXPECT_EQ(plat_name_reads_alike(t.path(r.name).c_str()), r.alike);
  }
  const char *note = plat_lost_names_note();
  ASSERT_NE(note, nullptr);
  EXPECT_NE(strstr(note, "code page 1252 lacks; after chcp 65001"), nullptr) << note;
  EXPECT_EQ(plat_lost_names_note(), nullptr);  // said once
  const char *plain = "C:\\KEY.PGP";
  char out[8];
  EXPECT_EQ(plat_shown_name(plain, out, sizeof out), plain);  // ASCII: as it is
  EXPECT_EQ(plat_name_reads_alike(plain), 1);
}

// A key 300 characters deep is listed, opened and resolved like any other.
TEST(Win32Names, PathsPastTheOldLimit) {
  temp_dir t;
  std::string rel;
  while (t.root().size() + rel.size() < 300)
    rel += std::string(40, 'd') + "/";
  t.write(rel + "KEY.PGP", "\x99xyz");
  std::string dir = t.path(rel);
  std::string key = dir + "KEY.PGP";
  ASSERT_GT(key.size(), 300u);
  EXPECT_EQ(plat_is_directory(dir.c_str()), 1);
  plat_dir d = plat_dir_open(dir.c_str());
  ASSERT_NE(d, PLAT_NO_DIR);
  plat_dir_close(d);
  ASSERT_EQ(list(dir + "*.PGP").size(), 1u);
  plat_handle h = plat_open_read(key.c_str());
  ASSERT_NE(h, PLAT_INVALID_HANDLE);
  plat_close(h);
  EXPECT_EQ(full(key), key);
  FILE *f = plat_fopen((dir + "OUT.TXT").c_str(), "w");
  ASSERT_NE(f, nullptr);
  fclose(f);
}

// ----------------------------------------------------------- file access

TEST(Win32FileAccess, OpensFilesOnDiskOnly) {
  temp_dir t;
  t.write("five", "12345");
  t.write("empty", "");
  t.write("hidden", "abc", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  t.mkdir("dir");
  char buf[10140];
  plat_handle h = plat_open_read(t.path("five").c_str());
  ASSERT_NE(h, PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_read(h, buf, sizeof buf), 5);
  EXPECT_EQ(plat_read(h, buf, sizeof buf), 0);
  plat_close(h);
  h = plat_open_read(t.path("empty").c_str());
  ASSERT_NE(h, PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_read(h, buf, sizeof buf), 0);
  plat_close(h);
  h = plat_open_read(t.path("hidden").c_str());
  ASSERT_NE(h, PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_read(h, buf, sizeof buf), 3);
  plat_close(h);
  // Backup semantics would open a directory; a device name reaches a device.
  EXPECT_EQ(plat_open_read(t.path("dir").c_str()), PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_open_read("NUL"), PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_open_read(t.path("missing").c_str()), PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_read(PLAT_INVALID_HANDLE, buf, 1), -1);
  plat_close(PLAT_INVALID_HANDLE);
}

TEST(Win32FileAccess, FileOpenForWritingIsNotOpened) {
  temp_dir t;
  t.write("busy", "data");
  HANDLE writer = CreateFileA(t.path("busy").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat_open_read(t.path("busy").c_str()), PLAT_INVALID_HANDLE);
  CloseHandle(writer);
  plat_handle h = plat_open_read(t.path("busy").c_str());
  EXPECT_NE(h, PLAT_INVALID_HANDLE);
  plat_close(h);
}

TEST(Win32FileAccess, AccountingHandle) {
  temp_dir t;
  const std::string acct = t.path("acct.log");
  EXPECT_EQ(plat_open_rw_existing(acct.c_str()), PLAT_INVALID_HANDLE);
  plat_handle h = plat_create_new(acct.c_str());
  ASSERT_NE(h, PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_create_new(acct.c_str()), PLAT_INVALID_HANDLE);  // exists now
  EXPECT_EQ(plat_file_size(h), 0);
  DWORD written;
  ASSERT_TRUE(WriteFile((HANDLE)h, "0123456789\x1a" "tail", 15, &written, NULL));
  plat_close(h);

  h = plat_open_rw_existing(acct.c_str());
  ASSERT_NE(h, PLAT_INVALID_HANDLE);
  EXPECT_EQ(plat_file_size(h), 15);
  char buf[32];
  EXPECT_EQ(plat_read(h, buf, sizeof buf), 15);  // positioned at the start
  EXPECT_EQ(plat_truncate(h, 10), 0);
  EXPECT_EQ(plat_file_size(h), 10);
  EXPECT_EQ(plat_truncate(h, -1), -1);
  plat_close(h);

  t.mkdir("dir");
  EXPECT_EQ(plat_open_rw_existing(t.path("dir").c_str()), PLAT_INVALID_HANDLE);
  h = plat_open_rw_existing("NUL");
  if (h != PLAT_INVALID_HANDLE) {
    EXPECT_EQ(plat_file_size(h), -1);  // a device is never cut
    plat_close(h);
  }
  EXPECT_EQ(plat_file_size(PLAT_INVALID_HANDLE), -1);
}

// ----------------------------------------------------------------- paths

TEST(Win32Paths, FullPathsWithDrives) {
  temp_dir t;
  t.mkdir("a");
  const std::string a = t.path("a");
  ASSERT_EQ(a.compare(0, 3, "C:\\"), 0) << "the temporary directory is expected on drive C";
  in_directory cd(a);
  EXPECT_EQ(full(""), a);
  EXPECT_EQ(full("."), a);
  EXPECT_EQ(full("x\\..\\y\\"), a + "\\y\\");  // a trailing separator stays
  EXPECT_EQ(full("*.PGP"), a + "\\*.PGP");
  // "C:" alone is the current directory of drive C, not its root (Wine
  // gives it with a trailing backslash, Windows without).
  std::string drive_c = full("C:");
  EXPECT_TRUE(drive_c == a || drive_c == a + "\\") << drive_c;
  EXPECT_EQ(full("C:KEYS.TXT"), a + "\\KEYS.TXT");
  EXPECT_EQ(full("\\DATA"), "C:\\DATA");
  EXPECT_EQ(full("C:\\DATA\\..\\.."), "C:\\");
  EXPECT_EQ(full("c:/data/x"), "c:\\data\\x");
}

// A path beyond the limit fails, whatever the caller's buffer, and a
// result that does not fit is never written beyond the buffer.
TEST(Win32Paths, LimitsWithoutOverrun) {
  const std::string long_path = "C:\\" + std::string(PLAT_PATH_MAX, 'x');
  char big[4 * PLAT_PATH_MAX];
  EXPECT_EQ(plat_full_path(long_path.c_str(), big, sizeof big), 0u);
  EXPECT_EQ(plat_full_path(("C:\\" + std::string(PLAT_PATH_MAX - 4, 'x')).c_str(), big, sizeof big),
            (size_t)PLAT_PATH_MAX - 1);

  struct {
    char out[8];
    char guard[8];
  } b;
  memset(&b, '#', sizeof b);
  EXPECT_EQ(plat_full_path("C:\\abcdefgh", b.out, sizeof b.out), 0u);
  EXPECT_EQ(plat_current_dir(b.out, sizeof b.out), 0u);
  EXPECT_EQ(plat_program_path("C:\\abcdefgh", b.out, sizeof b.out), 0u);
  EXPECT_EQ(plat_search_file("C:\\windows\\notepad", ".exe", b.out, sizeof b.out), 0u);
  EXPECT_EQ(std::string(b.guard, sizeof b.guard), std::string(8, '#'));
  EXPECT_EQ(plat_full_path("C:\\abcd", b.out, sizeof b.out), 7u);
  EXPECT_STREQ(b.out, "C:\\abcd");
}

TEST(Win32Paths, ProgramDirectoryAndComparison) {
  char out[PLAT_PATH_MAX];
  size_t n = plat_program_path("ignored", out, sizeof out);
  ASSERT_GT(n, 4u);
  EXPECT_EQ(plat_path_compare(out + n - 4, ".EXE"), 0) << out;
  EXPECT_EQ(out[1], ':');

  temp_dir t;
  t.write("f", "");
  t.mkdir("d");
  EXPECT_EQ(plat_is_directory(t.path("d").c_str()), 1);
  EXPECT_EQ(plat_is_directory(t.path("D").c_str()), 1);
  EXPECT_EQ(plat_is_directory("C:\\"), 1);
  EXPECT_EQ(plat_is_directory((t.path("d") + "\\").c_str()), 1);
  EXPECT_EQ(plat_is_directory((t.path("f") + "\\").c_str()), -1);
  EXPECT_EQ(plat_is_directory(t.path("f").c_str()), 0);
  EXPECT_EQ(plat_is_directory(t.path("missing").c_str()), -1);
  EXPECT_EQ(plat_is_directory(t.path("*.*").c_str()), -1);

  EXPECT_EQ(plat_path_compare("C:\\DATA\\", "c:\\data\\"), 0);
  EXPECT_LT(plat_path_compare("C:\\A", "c:\\b"), 0);
  EXPECT_GT(plat_path_compare("C:\\DATA\\X", "C:\\DATA"), 0);
  EXPECT_NE(plat_path_compare("\xc9", "\xe9"), 0);  // only ASCII letters fold
  EXPECT_NE(plat_path_compare("[", "{"), 0);        // nor the bytes beside them
}

std::string split(const char *path, size_t size = 64) {
  char drive[64] = "?", dir[64] = "?", fname[64] = "?", ext[64] = "?";
  plat_split_path(path, drive, dir, fname, ext, size);
  return std::string(drive) + "|" + dir + "|" + fname + "|" + ext;
}

TEST(Win32Paths, SplitWithDrives) {
  EXPECT_EQ(split("C:\\DATA\\KEYS.TXT"), "C:|\\DATA\\|KEYS|.TXT");
  EXPECT_EQ(split("C:\\NEW\\"), "C:|\\NEW\\||");
  EXPECT_EQ(split("D:\\"), "D:|\\||");
  EXPECT_EQ(split("C:\\*.PGP"), "C:|\\|*|.PGP");
  EXPECT_EQ(split("C:\\D.X\\.profile"), "C:|\\D.X\\||.profile");
  EXPECT_EQ(split("C:/a/b.c"), "C:|/a/|b|.c");
  EXPECT_EQ(split("name"), "||name|");
  EXPECT_EQ(split(""), "|||");
  EXPECT_EQ(split("C:\\abcdef\\ghijkl.mnopq", 4), "C:|\\ab|ghi|.mn");
  char dir[16];
  plat_split_path("C:\\x\\y.z", nullptr, dir, nullptr, nullptr, sizeof dir);
  EXPECT_STREQ(dir, "\\x\\");
  // Longer than any path the program forms: no piece, and no overrun.
  std::string huge = "C:\\" + std::string(8 * PLAT_PATH_MAX, 'd') + "\\f.x";
  EXPECT_EQ(split(huge.c_str()), "|||");
}

// --------------------------------------------------------- help and zone

TEST(Win32Help, SearchBesideTheProgram) {
  temp_dir t;
  t.write("kivor.hlp", "help");
  t.mkdir("dir.hlp");
  char out[PLAT_PATH_MAX];
  EXPECT_EQ(plat_search_file(t.path("kivor").c_str(), ".hlp", out, sizeof out),
            t.path("kivor.hlp").size());
  EXPECT_EQ(plat_path_compare(out, t.path("kivor.hlp").c_str()), 0);
  EXPECT_EQ(plat_search_file(t.path("kivor.hlp").c_str(), ".hlp", out, sizeof out),
            t.path("kivor.hlp").size());
  EXPECT_EQ(plat_search_file(t.path("kivor.txt").c_str(), ".hlp", out, sizeof out), 0u);
  EXPECT_EQ(plat_search_file(t.path("dir").c_str(), ".hlp", out, sizeof out), 0u);
}

TEST(Win32Zone, ReadFromTz) {
  char saved[128] = "";
  DWORD had = GetEnvironmentVariableA("TZ", saved, sizeof saved);
  _putenv("TZ=EST5EDT");
  struct plat_zone z;
  plat_zone_info(&z);
  EXPECT_EQ(z.seconds_west, 5 * 3600);
  EXPECT_NE(z.has_daylight, 0);
  // Wine's runtime keeps only two letters of each name ("ES", "ED").
  EXPECT_EQ(std::string("EST").rfind(z.std_name, 0), 0u) << z.std_name;
  EXPECT_EQ(std::string("EDT").rfind(z.dst_name, 0), 0u) << z.dst_name;
  EXPECT_GE(strlen(z.std_name), 2u);
  std::string restore = "TZ=" + std::string(had > 0 && had < sizeof saved ? saved : "");
  _putenv(restore.c_str());
  _tzset();
}

}  // namespace
