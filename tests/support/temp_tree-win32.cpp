// temp_tree for the Windows build: the same throwaway directory through the
// Win32 file calls.  Names below the root may use '/' (as path() joins
// them) or '\'; Windows takes either.
#include "temp_tree.h"

#include <stdio.h>
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

// The system's temporary directory, long names spelled out.
static std::string temp_base() {
  char buf[MAX_PATH], full[MAX_PATH];
  DWORD n = GetTempPathA(sizeof buf, buf);
  if (n == 0 || n >= sizeof buf)
    return "C:\\";
  DWORD m = GetLongPathNameA(buf, full, sizeof full);
  return m > 0 && m < sizeof full ? full : buf;
}

temp_tree::temp_tree() {
  std::string base = temp_base();
  if (base.empty() || base.back() != '\\')
    base += '\\';
  std::string stem = base + "kivor-e2e-" + std::to_string(GetCurrentProcessId()) + "-";
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

// Removes everything below dir.  Links and junctions are removed, never
// followed; read-only entries are made writable first.
static void remove_below(const std::string &dir) {
  WIN32_FIND_DATAA w;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &w);
  if (h == INVALID_HANDLE_VALUE)
    return;
  do {
    std::string name = w.cFileName;
    if (name == "." || name == "..")
      continue;
    std::string full = dir + "\\" + name;
    if (w.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
      SetFileAttributesA(full.c_str(), w.dwFileAttributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
    if (w.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(w.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        remove_below(full);
      RemoveDirectoryA(full.c_str());
    } else {
      DeleteFileA(full.c_str());
    }
  } while (FindNextFileA(h, &w));
  FindClose(h);
}

temp_tree::~temp_tree() {
  remove_below(root_);
  RemoveDirectoryA(root_.c_str());
}

void temp_tree::mkdir(const std::string &rel) const {
  std::string cur = root_;
  size_t start = 0;
  while (start <= rel.size()) {
    size_t sep = rel.find_first_of("/\\", start);
    if (sep == std::string::npos)
      sep = rel.size();
    if (sep > start) {
      cur += "\\" + rel.substr(start, sep - start);
      CreateDirectoryA(cur.c_str(), NULL);
    }
    start = sep + 1;
  }
  DWORD attributes = GetFileAttributesA(cur.c_str());
  ASSERT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      << "mkdir " << rel;
}

void temp_tree::write(const std::string &rel, const std::string &bytes) const {
  size_t sep = rel.find_last_of("/\\");
  if (sep != std::string::npos)
    mkdir(rel.substr(0, sep));
  FILE *f = fopen(path(rel).c_str(), "wb");
  ASSERT_NE(f, nullptr) << path(rel);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// A relative target is taken from the link's directory, as on POSIX.  Needs
// the right to make links (or developer mode) on Windows.
void temp_tree::symlink(const std::string &target, const std::string &rel) const {
  std::string link = path(rel);
  size_t sep = link.find_last_of("/\\");
  std::string seen_from = sep != std::string::npos ? link.substr(0, sep + 1) : "";
  bool absolute = target.size() > 1 && (target[1] == ':' || target[0] == '\\' || target[0] == '/');
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

std::string read_stream(FILE *f) {
  std::string s;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0)
    s.append(buf, n);
  return s;
}

// The file's content, opened in mode ("rb" or "r").
static std::string read_with_mode(const std::string &path, const char *mode) {
  FILE *f = fopen(path.c_str(), mode);
  if (f == nullptr)
    return "";
  std::string s = read_stream(f);
  fclose(f);
  return s;
}

std::string read_file(const std::string &path) {
  return read_with_mode(path, "rb");
}

std::string temp_tree::read(const std::string &rel) const {
  return read_file(path(rel));
}

std::string temp_tree::read_text(const std::string &rel) const {
  return read_with_mode(path(rel), "r");
}

bool temp_tree::exists(const std::string &rel) const {
  return GetFileAttributesA(path(rel).c_str()) != INVALID_FILE_ATTRIBUTES;
}
