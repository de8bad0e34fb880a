// The keyboard poll through which the user stops a long run.
#ifndef KIVOR_RUN_ABORT_H_
#define KIVOR_RUN_ABORT_H_

// Returns nonzero when a waiting key is Esc or Ctrl-C (the key is consumed
// either way), 0 when no key waits or it is another key.
int abort_key_pressed(void);

#endif  // KIVOR_RUN_ABORT_H_
