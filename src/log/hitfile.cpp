// The hit file.
#include "log/hitfile.h"

void open_hit_file(void) {
}
