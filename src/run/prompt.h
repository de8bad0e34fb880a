// The two places where a run waits for the user.
#ifndef KIVOR_RUN_PROMPT_H_
#define KIVOR_RUN_PROMPT_H_

// Reads one character from standard input (on a console: waits for Enter)
// and discards it.  Ctrl-C while waiting ends the run.
void wait_for_enter(void);

// One key read raw, without echo or Enter; -1 at the end of input, which
// counts as no answer.  Ctrl-C while waiting ends the run.
int read_answer_key(void);

#endif  // KIVOR_RUN_PROMPT_H_
