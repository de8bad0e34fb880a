// The ring of events between the walk, the reader threads and the
// examination.  Counters only grow; an event's place in the ring is its
// number modulo RING.  Events [head, tail) are handed over and not yet
// consumed; the walk fills events from tail on and hands them over in
// batches, the consumer takes runs of events from head, and the readers
// take files from next_read on.  One mutex guards the counters and the
// states of events handed over; an event's contents belong to whoever its
// state names (the walk until it is handed over, a reader while it reads
// it, the consumer once it is done or taken), so they are read and written
// without it.  The lock is taken once a batch, not once an event: on a
// tree in the cache the hand-over costs more than the reads themselves.
#include "search/readahead.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "run/exit.h"
#include "run/globals.h"

namespace {

enum {
  RING = 512,           // events in flight: the bound on reading ahead
  MAX_READERS = 64,
  DEFAULT_READERS = 16,  // bench/scan-bench, cold and warm (README)
  TEXT_SIZE = PATH_BUF + PLAT_NAME_MAX,
  IDLE_MS = 10,         // the consumer polls for an abort at least this often
  SLOW_READ_US = 100,   // reads slower than this on average are read ahead
  HAND_OVER_BATCH = 32, // events the walk fills before it hands them over
  CONSUME_BATCH = 64,   // events the consumer takes at once
  // Descriptors kept free of the events in flight: for the consumer's own
  // open and lookup, the walk's listing by path and the archive reader ...
  FD_RESERVE = 8,
  // ... and a few more that the readers leave to the walk's next levels.
  FD_WALK_ROOM = 4,
};

enum state : unsigned char {
  S_FREE,     // the walk may fill it
  S_WAITING,  // a file nobody reads yet
  S_READING,  // a file a reader (or the consumer) is reading
  S_DONE,     // ready for the consumer
  S_BACK,     // a file a reader found no descriptor for: the consumer opens it
};

struct ring_state {
  struct ra_event *events;
  unsigned char *data;
  char *text;
  state states[RING];
  unsigned long head, tail, next_read;
  bool walk_done, readers_gone;
  std::atomic<bool> stopping;  // also read by the walk without the lock
  bool walker_waits, consumer_waits;
  int readers_idle;
  unsigned long unclaimed;  // files handed over that nobody reads yet
  // Descriptors: those the process may still open at the start of the run,
  // and those the run holds of them (the walk's directories, directories
  // left and not yet closed, files read ahead and not yet consumed).
  int spare, held;
  bool readers_short;       // a reader found no room for a file
  bool walker_short;        // the walk waits for room for a directory
  // The walk's own, read and written without the lock: the events it has
  // filled ([tail, filled) not yet handed over), the files among those,
  // and head as it last saw it.
  unsigned long filled, head_seen;
  unsigned long files_filled;
  // The consumer's own: the event it consumes now, or the next; what
  // ra_stop drops starts there.
  unsigned long consumed;
  uint32_t slow_bits;       // the last 32 reads: 1 for each that was slow
  bool reads_slow;          // long enough to be worth the readers' wake-ups
  bool always_slow;         // KIVOR_READS_SLOW=1: the readers read everything they can
  std::mutex lock;
  std::condition_variable walker_cv, readers_cv, consumer_cv;
  std::thread walker;
  std::thread readers[MAX_READERS];
  int reader_count;
  bool running;  // a threaded run is in progress
};

ring_state ring;

// Names are shown by the OEM/ANSI setting and it is ANSI between files: it no
// longer changes.  Only the consumer sets it; the walk reads it under the lock.
bool names_settled = false;

// The run without threads: one event, filled and consumed in turn.
bool direct = false;
void (*direct_consume)(struct ra_event *) = NULL;
struct ra_event direct_event;
char direct_text[TEXT_SIZE];

void make_ring(void) {
  if (ring.events != NULL)
    return;
  ring.events = (struct ra_event *)calloc(RING, sizeof *ring.events);
  ring.data = (unsigned char *)malloc((size_t)RING * READ_SIZE);
  ring.text = (char *)malloc((size_t)RING * TEXT_SIZE);
  if (ring.events == NULL || ring.data == NULL || ring.text == NULL) {
    fputs("Couldn't create the read-ahead buffers\n", stderr);
    exit_program(INSUFFICIENT_MEMORY);
  }
  for (int i = 0; i < RING; i++) {
    ring.events[i].text = ring.text + (size_t)i * TEXT_SIZE;
    ring.events[i].file.data = ring.data + (size_t)i * READ_SIZE;
  }
}

// The next file from next_read on that nobody reads yet, marked as being
// read; NULL when there is none published.  Lock held.
struct ra_event *take_file(void) {
  if (ring.next_read < ring.head)
    ring.next_read = ring.head;
  for (; ring.next_read < ring.tail; ring.next_read++) {
    unsigned i = (unsigned)(ring.next_read % RING);
    if (ring.states[i] == S_WAITING) {
      ring.states[i] = S_READING;
      ring.next_read++;
      ring.unclaimed--;
      return &ring.events[i];
    }
  }
  return NULL;
}

// Opens and reads the file of e; returns how long that took, in microseconds.
double timed_open(struct ra_event *e) {
  auto start = std::chrono::steady_clock::now();
  open_candidate(&e->file);
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

// Takes in how long a read took.  Reads from the cache take microseconds:
// the consumer then reads the files itself and the readers sleep, since
// handing a file over would cost more than reading it.  Reads from the
// device take far longer: the readers are woken and read ahead.  Lock held.
void note_read(double us) {
  // Most of the last reads, not one that waited for the processor.
  ring.slow_bits = ring.slow_bits << 1 | (us > SLOW_READ_US ? 1u : 0u);
  int count = 0;
  for (uint32_t b = ring.slow_bits; b != 0; b &= b - 1)
    count++;
  // Apart enough that the readers do not come and go.
  if (!ring.reads_slow && count >= 8) {
    ring.reads_slow = true;
    ring.readers_cv.notify_one();  // the others as the files pile up
  } else if (ring.reads_slow && count == 0 && !ring.always_slow) {
    ring.reads_slow = false;
  }
}

// Marks the file e as read and wakes the consumer if it waits.  Lock held.
void file_done(struct ra_event *e) {
  ring.states[e - ring.events] = S_DONE;
  if (ring.consumer_waits)
    ring.consumer_cv.notify_one();
}

// Hands the events the walk has filled over to the readers and the
// consumer, waking as many sleeping readers as there are files for them
// while reads are slow.  Lock held; on the walk's thread.
void hand_over(void) {
  ring.head_seen = ring.head;
  if (ring.tail == ring.filled)
    return;
  ring.tail = ring.filled;
  ring.unclaimed += ring.files_filled;
  ring.files_filled = 0;
  if (ring.reads_slow && ring.readers_idle > 0) {
    long awake = ring.reader_count - ring.readers_idle;
    long wake = (long)ring.unclaimed - awake;
    for (long n = 0; n < wake && n < ring.readers_idle; n++)
      ring.readers_cv.notify_one();
  }
  if (ring.consumer_waits)
    ring.consumer_cv.notify_one();
}

void reader_main(void) {
  std::unique_lock<std::mutex> hold(ring.lock);
  for (;;) {
    if (ring.stopping)
      return;
    // While reads are quick the consumer makes them: the readers sleep.
    // A file read ahead holds its descriptor until it is consumed, so
    // the readers stop short of the open-file limit.
    struct ra_event *e = NULL;
    if (ring.reads_slow && ring.held + FD_RESERVE + FD_WALK_ROOM < ring.spare)
      e = take_file();
    else if (ring.reads_slow)
      ring.readers_short = true;
    if (e == NULL) {
      ring.readers_idle++;
      ring.readers_cv.wait(hold);
      ring.readers_idle--;
      continue;
    }
    ring.held++;
    hold.unlock();
    double us = timed_open(e);
    hold.lock();
    note_read(us);
    if (e->file.fh == PLAT_INVALID_HANDLE)
      ring.held--;
    if (e->file.outcome == CAND_UNOPENED &&
        (e->file.open_errno == EMFILE || e->file.open_errno == ENFILE)) {
      // No descriptor after all (something else holds them): the consumer
      // opens it when it comes to it, as a run without readers would.
      ring.states[e - ring.events] = S_BACK;
      if (ring.consumer_waits)
        ring.consumer_cv.notify_one();
      continue;
    }
    file_done(e);
  }
}

void walker_main(void (*produce)(void *), void *arg) {
  produce(arg);
  std::lock_guard<std::mutex> hold(ring.lock);
  hand_over();
  ring.walk_done = true;
  if (ring.consumer_waits)
    ring.consumer_cv.notify_one();
}

// Waits on the consumer's condition for at most IDLE_MS, then, the lock
// let go, lets idle poll.
void consumer_wait(std::unique_lock<std::mutex> &hold, void (*idle)(void)) {
  ring.consumer_waits = true;
  std::cv_status st = ring.consumer_cv.wait_for(hold, std::chrono::milliseconds(IDLE_MS));
  ring.consumer_waits = false;
  if (st == std::cv_status::timeout && idle != NULL) {
    hold.unlock();
    idle();
    hold.lock();
  }
}

// Closes what an event that will never be consumed still holds.
void drop_event(struct ra_event *e) {
  if (e->kind == RA_FILE)
    discard_candidate(&e->file);
  else if (e->kind == RA_LEAVE)
    plat_dir_close(e->dir);
}

// Takes the run of events from head that this thread may consume at once
// and consumes it: those done, and files nobody reads yet, which it reads
// itself (while reads are slow only the first, the rest being the
// readers').  A slow read of its own ends the run early and hands the rest
// back.  False when the event at head is not ready.  Lock held (let go
// meanwhile).
bool consume_run(std::unique_lock<std::mutex> &hold, void (*consume)(struct ra_event *e)) {
  // The state each file this thread reads itself was taken in (S_WAITING
  // or S_BACK), S_FREE for the rest.
  state mine[CONSUME_BATCH];
  unsigned long end = ring.head;
  for (; end < ring.tail && end - ring.head < CONSUME_BATCH; end++) {
    unsigned i = (unsigned)(end % RING);
    state st = ring.states[i];
    mine[end - ring.head] = st == S_WAITING || st == S_BACK ? st : S_FREE;
    if (mine[end - ring.head] != S_FREE) {
      if (ring.reads_slow && end != ring.head)
        break;
      ring.states[i] = S_READING;
      if (st == S_WAITING)
        ring.unclaimed--;
    } else if (st != S_DONE) {
      break;  // a reader has it
    }
  }
  if (end == ring.head)
    return false;
  hold.unlock();
  double took[CONSUME_BATCH];
  int reads = 0;
  int freed = 0;  // descriptors the events consumed held
  unsigned long n = ring.head;
  while (n < end) {
    struct ra_event *e = &ring.events[n % RING];
    bool own = mine[n - ring.head] != S_FREE, slow = false;
    if (e->kind == RA_LEAVE || (!own && e->kind == RA_FILE && e->file.fh != PLAT_INVALID_HANDLE))
      freed++;
    if (own) {
      // Into the one buffer that stays in the processor's cache, not
      // into the event's, which the ring has long since pushed out.
      e->file.data = g_inbuf;
      took[reads] = timed_open(e);
      if (ra_test.own_reads_slow)
        took[reads] = SLOW_READ_US + 1;
      slow = took[reads++] > SLOW_READ_US;
    }
    ring.consumed = n;
    consume(e);
    if (own)
      e->file.data = ring.data + (size_t)(n % RING) * READ_SIZE;
    ring.consumed = ++n;
    if (slow)
      break;  // the readers may be wanted: the rest goes back to them
  }
  bool settled = PLAT_NAMES_BY_MODE && plat_file_apis_are_ansi();
  hold.lock();
  for (int r = 0; r < reads; r++)
    note_read(took[r]);
  for (unsigned long m = ring.head; m < end; m++) {
    unsigned i = (unsigned)(m % RING);
    if (m < n) {
      ring.states[i] = S_FREE;
    } else if (mine[m - ring.head] != S_FREE) {
      ring.states[i] = mine[m - ring.head];
      if (ring.states[i] == S_WAITING)
        ring.unclaimed++;
    }
  }
  ring.held -= freed;
  if (freed > 0 && ring.walker_short)
    ring.walker_cv.notify_one();
  if (freed > 0 && ring.readers_short) {
    ring.readers_short = false;
    ring.readers_cv.notify_all();
  }
  ring.head = n;
  if (n < end && ring.next_read > n)
    ring.next_read = n;  // what went back, for the readers to find
  if (settled)
    names_settled = true;
  return true;
}

}  // namespace

struct ra_test_settings ra_test = {0, -1, 0};

int ra_reader_count(void) {
  const char *v = getenv("KIVOR_READERS");
  if (v != NULL) {
    char *end;
    long n = strtol(v, &end, 10);
    if (end != v && *end == '\0' && n >= 1 && n <= MAX_READERS)
      return (int)n;
  }
  return DEFAULT_READERS;
}

struct ra_event *ra_claim(void) {
  if (direct)
    return &direct_event;
  // Room as far as the walk knew when it last looked: no lock needed.
  if (ring.filled - ring.head_seen < RING && !ring.stopping.load(std::memory_order_relaxed))
    return &ring.events[ring.filled % RING];
  std::unique_lock<std::mutex> hold(ring.lock);
  hand_over();
  if (ring.tail - ring.head == RING) {
    // Full: wait until half of it is free, not for each event in turn.
    while (!ring.stopping && ring.tail - ring.head > RING / 2) {
      ring.walker_waits = true;
      ring.walker_cv.wait(hold);
    }
  }
  ring.walker_waits = false;
  ring.head_seen = ring.head;
  if (ring.stopping) {
    // What the walk still holds may be in use by a reader until all of
    // them have ended.
    while (!ring.readers_gone)
      ring.walker_cv.wait(hold);
    return NULL;
  }
  return &ring.events[ring.filled % RING];
}

plat_dir ra_open_dir(plat_dir parent, const char *path, const char *name) {
  if (!direct) {
    std::unique_lock<std::mutex> hold(ring.lock);
    hand_over();
    // Near the open-file limit: the events in flight give their
    // descriptors back as they are consumed.
    while (ring.held + FD_RESERVE >= ring.spare && ring.head != ring.tail && !ring.stopping) {
      ring.walker_waits = ring.walker_short = true;
      ring.walker_cv.wait(hold);
    }
    ring.walker_waits = ring.walker_short = false;
    ring.held++;
  }
  plat_dir d = parent == PLAT_NO_DIR ? plat_dir_open(path) : plat_dir_open_sub(parent, path, name);
  if (d == PLAT_NO_DIR && !direct) {
    int saved = errno;
    std::lock_guard<std::mutex> hold(ring.lock);
    ring.held--;
    errno = saved;
  }
  return d;
}

void ra_close_dir(plat_dir d) {
  if (d == PLAT_NO_DIR)
    return;
  plat_dir_close(d);
  if (!direct) {
    std::lock_guard<std::mutex> hold(ring.lock);
    ring.held--;
  }
}

void ra_listing_point(void) {
  if (direct)
    return;
  std::unique_lock<std::mutex> hold(ring.lock);
  hand_over();
  if (!PLAT_NAMES_BY_MODE)
    return;
  while (!names_settled && !ring.stopping && ring.head != ring.tail) {
    ring.walker_waits = true;
    ring.walker_cv.wait(hold);
  }
  ring.walker_waits = false;
}

void ra_publish(struct ra_event *e) {
  if (e->kind == RA_FILE) {
    e->file.path = e->text;
    e->file.fh = PLAT_INVALID_HANDLE;
  }
  if (direct) {
    if (e->kind == RA_FILE)
      open_candidate(&e->file);
    direct_consume(e);
    return;
  }
  // Not yet handed over, so nobody else looks at its state.
  ring.states[ring.filled % RING] = e->kind == RA_FILE ? S_WAITING : S_DONE;
  ring.filled++;
  if (e->kind == RA_FILE)
    ring.files_filled++;
  if (ring.filled - ring.tail >= HAND_OVER_BATCH) {
    std::lock_guard<std::mutex> hold(ring.lock);
    hand_over();
  }
}

// The whole run on this thread: each event consumed as it is published.
static void run_direct(void (*produce)(void *arg), void *arg, void (*consume)(struct ra_event *e)) {
  direct = true;
  direct_consume = consume;
  direct_event.text = direct_text;
  direct_event.file.data = g_inbuf;
  produce(arg);
  direct = false;
}

void ra_run(void (*produce)(void *arg), void *arg, void (*consume)(struct ra_event *e),
            void (*idle)(void)) {
  int readers = ra_reader_count();
  if (readers <= 1) {
    run_direct(produce, arg, consume);
    return;
  }
  make_ring();
  ring.head = ring.tail = ring.next_read = 0;
  ring.filled = ring.head_seen = ring.files_filled = ring.consumed = 0;
  ring.walk_done = ring.stopping = ring.readers_gone = false;
  ring.walker_waits = ring.consumer_waits = false;
  ring.readers_idle = 0;
  ring.unclaimed = 0;
  ring.slow_bits = 0;
  ring.spare = plat_descriptors_spare();
  ring.held = 0;
  ring.readers_short = ring.walker_short = false;
  // A test seam: with KIVOR_READS_SLOW=1 every read is taken for slow, so
  // that the readers read ahead even on a small tree in the cache.
  const char *slow = getenv("KIVOR_READS_SLOW");
  ring.always_slow = slow != NULL && strcmp(slow, "1") == 0;
  ring.reads_slow = ring.always_slow;
  ring.reader_count = 0;
  if (PLAT_NAMES_BY_MODE && plat_file_apis_are_ansi())
    names_settled = true;
  // The threads start with the console's signals held back: they stay
  // with this thread, which polls for them.
  plat_signals_hold(1);
  for (int i = 0; i < readers && (ra_test.reader_starts < 0 || i < ra_test.reader_starts); i++) {
    std::thread t;
    try {
      t = std::thread(reader_main);
    } catch (const std::system_error &) {
      break;  // fewer readers, or none: the consumer reads what is left
    }
    ring.readers[ring.reader_count++] = std::move(t);
  }
  bool walker_started = !ra_test.walker_fails;
  try {
    if (walker_started)
      ring.walker = std::thread(walker_main, produce, arg);
  } catch (const std::system_error &) {
    walker_started = false;
  }
  plat_signals_hold(0);
  ring.running = true;
  if (!walker_started) {  // no thread for the walk: the whole run here
    ra_stop();
    run_direct(produce, arg, consume);
    return;
  }

  std::unique_lock<std::mutex> hold(ring.lock);
  for (;;) {
    if (ring.head == ring.tail) {
      if (ring.walk_done)
        break;
      consumer_wait(hold, idle);
      continue;
    }
    if (!consume_run(hold, consume)) {
      consumer_wait(hold, idle);
      continue;
    }
    if (ring.walker_waits && (ring.tail - ring.head <= RING / 2 || ring.head == ring.tail))
      ring.walker_cv.notify_one();
  }
  hold.unlock();
  ra_stop();
}

void ra_stop(void) {
  if (!ring.running)
    return;
  ring.running = false;
  {
    std::lock_guard<std::mutex> hold(ring.lock);
    ring.stopping = true;
    ring.readers_cv.notify_all();
    ring.walker_cv.notify_all();
  }
  for (int i = 0; i < ring.reader_count; i++)
    ring.readers[i].join();
  {
    std::lock_guard<std::mutex> hold(ring.lock);
    ring.readers_gone = true;
    ring.walker_cv.notify_all();
  }
  if (ring.walker.joinable())
    ring.walker.join();
  for (unsigned long n = ring.consumed; n < ring.filled; n++)
    drop_event(&ring.events[n % RING]);
  ring.head = ring.tail = ring.filled = ring.consumed;
}
