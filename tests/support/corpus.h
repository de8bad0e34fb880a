// The sample files beside the project (KIVOR_CORPUS in the environment, else
// the folder the build was configured with).  A developer's checkout may
// lack them: the tests that read them are skipped there.  Where they must be
// there (KIVOR_CORPUS_REQUIRED=1 in the environment, which scripts/test and
// so CI set), such a test fails instead.
#ifndef KIVOR_TESTS_SUPPORT_CORPUS_H_
#define KIVOR_TESTS_SUPPORT_CORPUS_H_

#include <string>

#include <gtest/gtest.h>

// The folder, as configured, whether or not it is there.
std::string corpus_root();

// True when the samples must be there.
bool corpus_required();

// Ends the test when present is false: failed where the samples are
// required, skipped otherwise.
#define SKIP_WITHOUT_CORPUS(present)                                                  \
  if (!(present)) {                                                                   \
    if (corpus_required())                                                            \
      FAIL() << "the sample files are required (KIVOR_CORPUS_REQUIRED=1) and missing: " \
             << corpus_root();                                                        \
    GTEST_SKIP() << "no sample files beside the project";                             \
  }

#endif  // KIVOR_TESTS_SUPPORT_CORPUS_H_
