// The keyboard poll through which the user stops a long run, and the reads
// of the prompts, all of which also end the run when Ctrl-C has come.
#ifndef KIVOR_RUN_ABORT_H_
#define KIVOR_RUN_ABORT_H_

// Ends the run with reason INPUT_FILE when Ctrl-C has come.  Otherwise, when
// a key waits at the console, reads one character and returns nonzero when
// it is Esc or Ctrl-C (the caller then ends the run with USER_ABORTED); the
// key is consumed either way.  Returns 0 when no key waits, and always when
// standard input is not a console (nothing is read then).
int abort_key_pressed(void);

// One character of standard input as the stream gives it (on a console in
// line mode, after Enter), for a prompt such as the usage screen's.  Returns
// the character, or -1 at end of input.  Ctrl-C during the wait ends the run
// with reason INPUT_FILE at once.
int prompt_char(void);

// One key read raw (no echo, no Enter) for a question; without a console,
// one byte of standard input.  Returns the key, or -1 at end of input.
// Ctrl-C during the wait ends the run with reason INPUT_FILE at once.
int prompt_raw_key(void);

#endif  // KIVOR_RUN_ABORT_H_
