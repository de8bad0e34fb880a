// temp_tree on Windows: the same throwaway directory through the Win32 file
// calls.  Directories and files are made and removed through the wide calls
// with the "\\?\" prefix, which lifts the path limit, so that trees deeper
// than the limit can be made for the program to meet.  Names are UTF-8, as
// the program carries them.
#include "temp_tree.h"

#include <stdlib.h>
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

// A UTF-8 name in UTF-16.
static std::wstring wide(const std::string &s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), NULL, 0);
  std::wstring w((size_t)n, L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
  return w;
}

// The long-path form of an absolute native name.
static std::wstring long_form(const std::string &native) {
  return L"\\\\?\\" + wide(native);
}

// The system's temporary directory, long names spelled out, without its
// trailing separator.
std::string temp_tree::default_base() {
  char buf[MAX_PATH], full[MAX_PATH];
  DWORD n = GetTempPathA(sizeof buf, buf);
  if (n == 0 || n >= sizeof buf)
    return "C:";
  DWORD m = GetLongPathNameA(buf, full, sizeof full);
  std::string base = m > 0 && m < sizeof full ? full : buf;
  while (!base.empty() && base.back() == '\\')
    base.pop_back();
  return base;
}

void temp_tree::make_root(const std::string &base) {
  std::string stem = base + "\\kivor-e2e-" + std::to_string(GetCurrentProcessId()) + "-";
  for (unsigned i = 0; i < 100000; i++) {
    std::string candidate = stem + std::to_string(i);
    if (CreateDirectoryA(candidate.c_str(), NULL)) {
      root_ = candidate;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  abort();
}

// Removes everything below dir (a long-path form).  Links and junctions
// are removed, never followed; read-only entries are made writable first.
static void remove_below(const std::wstring &dir) {
  WIN32_FIND_DATAW w;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &w);
  if (h == INVALID_HANDLE_VALUE)
    return;
  do {
    std::wstring name = w.cFileName;
    if (name == L"." || name == L"..")
      continue;
    std::wstring full = dir + L"\\" + name;
    if (w.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
      SetFileAttributesW(full.c_str(), w.dwFileAttributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
    if (w.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(w.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        remove_below(full);
      RemoveDirectoryW(full.c_str());
    } else {
      DeleteFileW(full.c_str());
    }
  } while (FindNextFileW(h, &w));
  FindClose(h);
}

temp_tree::~temp_tree() {
  if (!owner_)
    return;
  remove_below(long_form(root_));
  RemoveDirectoryW(long_form(root_).c_str());
}

bool temp_tree::try_mkdir(const std::string &rel) const {
  std::wstring cur = long_form(root_);
  size_t start = 0;
  while (start <= rel.size()) {
    size_t sep = rel.find_first_of("/\\", start);
    if (sep == std::string::npos)
      sep = rel.size();
    if (sep > start) {
      cur += L"\\" + wide(rel.substr(start, sep - start));
      if (cur.size() >= 32767)
        return false;  // past the system's limit (Wine would wrap it round)
      if (!CreateDirectoryW(cur.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    }
    start = sep + 1;
  }
  DWORD attributes = GetFileAttributesW(cur.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FILE *temp_tree::open_to_write(const std::string &rel) const {
  return _wfopen(long_form(path(rel)).c_str(), L"wb");
}

// A relative target is taken from the link's directory, as on POSIX.  Needs
// the right to make links (or developer mode) on Windows.
void temp_tree::symlink(const std::string &target, const std::string &rel) const {
  std::string link = path(rel);
  size_t sep = link.find_last_of('\\');
  std::string seen_from = sep != std::string::npos ? link.substr(0, sep + 1) : "";
  bool absolute = target.size() > 1 && (target[1] == ':' || target[0] == '\\');
  DWORD attributes = GetFileAttributesA((absolute ? target : seen_from + target).c_str());
  DWORD flags = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
  ASSERT_TRUE(CreateSymbolicLinkA(link.c_str(), target.c_str(), flags))
      << "symlink " << rel << " (error " << GetLastError() << ")";
}

void temp_tree::mkfifo(const std::string &rel) const {
  ADD_FAILURE() << "Windows has no FIFOs in the file system: " << rel;
}

bool temp_tree::exists(const std::string &rel) const {
  return GetFileAttributesW(long_form(path(rel)).c_str()) != INVALID_FILE_ATTRIBUTES;
}
