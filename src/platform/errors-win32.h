// Shared by the Win32 backend files: the system's reasons as errno values.
#ifndef KIVOR_PLATFORM_ERRORS_WIN32_H_
#define KIVOR_PLATFORM_ERRORS_WIN32_H_

// Sets errno to the nearest value for GetLastError(): ENOENT for a missing
// file or path (and a search that matched nothing), EACCES for a denied or
// shared-out one, EIO for the rest.
void plat_set_errno_from_last_error(void);

#endif  // KIVOR_PLATFORM_ERRORS_WIN32_H_
