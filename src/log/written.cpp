// Checked writes of the hit file and the accounting file.
#include "log/written.h"

#include <errno.h>
#include <string.h>

#include "log/shown.h"

// errno as a failed stream operation left it; EIO when it left nothing.
static int reason(void) {
  return errno != 0 ? errno : EIO;
}

int stream_failure(FILE *f, int flush) {
  // A write that failed earlier set the flag; errno still holds its reason
  // when nothing has failed since.
  if (ferror(f))
    return reason();
  if (!flush)
    return 0;
  errno = 0;
  return fflush(f) != 0 || ferror(f) ? reason() : 0;
}

int close_stream(FILE *f) {
  int err = stream_failure(f, 1);
  errno = 0;
  if (fclose(f) != 0 && err == 0)
    err = reason();
  return err;
}

void report_write_failure(const char *what, const char *name, int err) {
  fprintf(stderr, "couldn't write the %s%s: %s\n", what, shown_name(name), strerror(err));
}
