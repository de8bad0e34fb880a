// Definitions of the run-wide globals; see globals.h for what each holds.
#include "run/globals.h"

struct run_settings *g_settings = NULL;
char *pg_complete_path = NULL;
char *pg_check_path = NULL;
char **g_filetypes = NULL;
char **g_searchdirs = NULL;
char *g_searchstr = NULL;
char *g_patternstr = NULL;
char *g_hit_file_name = NULL;
unsigned char *g_inbuf = NULL;
FILE *g_hit_stream = NULL;
FILE *g_acct_file = NULL;
int32_t g_files_searched = 0;
int32_t g_hits_found = 0;
time_t g_start_time = 0;
int32_t g_shorten_style = 1;
