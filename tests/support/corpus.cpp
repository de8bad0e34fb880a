#include "corpus.h"

#include <stdlib.h>
#include <string.h>

std::string corpus_root() {
  const char *s = getenv("KIVOR_CORPUS");
  return s != nullptr && *s != '\0' ? s : KIVOR_CORPUS;
}

bool corpus_required() {
  const char *s = getenv("KIVOR_CORPUS_REQUIRED");
  return s != nullptr && strcmp(s, "1") == 0;
}
