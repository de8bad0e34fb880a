// What every fuzz target uses to state what must hold: a failed check
// names itself and aborts, which libFuzzer reports as a crash.
#ifndef KIVOR_FUZZ_CHECK_H_
#define KIVOR_FUZZ_CHECK_H_

#include <stdio.h>
#include <stdlib.h>

#define FUZZ_CHECK(cond)                                                           \
  do {                                                                             \
    if (!(cond)) {                                                                 \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);     \
      abort();                                                                     \
    }                                                                              \
  } while (0)

#endif  // KIVOR_FUZZ_CHECK_H_
