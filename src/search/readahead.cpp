// The ring of events between the walk, the reader threads and the
// examination.  Counters only grow; an event's place in the ring is its
// number modulo RING.  Events [head, tail) are published and not yet
// consumed; the walk fills event tail, the consumer takes event head, and
// the readers take files from next_read on.  One mutex guards the counters
// and the states; an event's contents belong to whoever its state names
// (the walk until it is published, a reader while it reads it, the
// consumer once it is done), so they are read and written without it.
#include "search/readahead.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
  DEFAULT_READERS = 8,  // bench/scan-bench: cold and warm, 2 cores
  TEXT_SIZE = PATH_BUF + PLAT_NAME_MAX,
  IDLE_MS = 10,         // the consumer polls for an abort at least this often
};

enum state : unsigned char {
  S_FREE,     // the walk may fill it
  S_WAITING,  // a file nobody reads yet
  S_READING,  // a file a reader (or the consumer) is reading
  S_DONE,     // ready for the consumer
};

struct ring_state {
  struct ra_event *events;
  unsigned char *data;
  char *text;
  state states[RING];
  unsigned long head, tail, next_read;
  bool walk_done, stopping, readers_gone;
  bool walker_waits, consumer_waits;
  int readers_idle;
  std::mutex lock;
  std::condition_variable walker_cv, readers_cv, consumer_cv;
  std::thread walker;
  std::thread readers[MAX_READERS];
  int reader_count;
  bool running;  // a threaded run is in progress
};

ring_state ring;

// Names follow the OEM/ANSI setting and it is ANSI between files: it no
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
      return &ring.events[i];
    }
  }
  return NULL;
}

// Marks the file e as read and wakes the consumer if it waits.  Lock held.
void file_done(struct ra_event *e) {
  ring.states[e - ring.events] = S_DONE;
  if (ring.consumer_waits)
    ring.consumer_cv.notify_one();
}

void reader_main(void) {
  std::unique_lock<std::mutex> hold(ring.lock);
  for (;;) {
    if (ring.stopping)
      return;
    struct ra_event *e = take_file();
    if (e == NULL) {
      ring.readers_idle++;
      ring.readers_cv.wait(hold);
      ring.readers_idle--;
      continue;
    }
    hold.unlock();
    open_candidate(&e->file);
    hold.lock();
    file_done(e);
  }
}

void walker_main(void (*produce)(void *), void *arg) {
  produce(arg);
  std::lock_guard<std::mutex> hold(ring.lock);
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

}  // namespace

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
  if (direct) {
    direct_event.text = direct_text;
    direct_event.file.data = g_inbuf;
    return &direct_event;
  }
  std::unique_lock<std::mutex> hold(ring.lock);
  while (!ring.stopping && ring.tail - ring.head == RING) {
    ring.walker_waits = true;
    ring.walker_cv.wait(hold);
  }
  ring.walker_waits = false;
  if (ring.stopping) {
    // What the walk still holds may be in use by a reader until all of
    // them have ended.
    while (!ring.readers_gone)
      ring.walker_cv.wait(hold);
    return NULL;
  }
  return &ring.events[ring.tail % RING];
}

void ra_listing_point(void) {
  if (direct || !PLAT_NAMES_BY_MODE)
    return;
  std::unique_lock<std::mutex> hold(ring.lock);
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
  std::lock_guard<std::mutex> hold(ring.lock);
  ring.states[ring.tail % RING] = e->kind == RA_FILE ? S_WAITING : S_DONE;
  ring.tail++;
  if (e->kind == RA_FILE && ring.readers_idle > 0)
    ring.readers_cv.notify_one();
  if (ring.consumer_waits)
    ring.consumer_cv.notify_one();
}

void ra_run(void (*produce)(void *arg), void *arg, void (*consume)(struct ra_event *e),
            void (*idle)(void)) {
  int readers = ra_reader_count();
  if (readers > 1)
    make_ring();
  if (readers <= 1) {
    direct = true;
    direct_consume = consume;
    produce(arg);
    direct = false;
    return;
  }
  ring.head = ring.tail = ring.next_read = 0;
  ring.walk_done = ring.stopping = ring.readers_gone = false;
  ring.walker_waits = ring.consumer_waits = false;
  ring.readers_idle = 0;
  ring.reader_count = 0;
  if (PLAT_NAMES_BY_MODE && plat_file_apis_are_ansi())
    names_settled = true;
  // The threads start with the console's signals held back: they stay
  // with this thread, which polls for them.
  plat_signals_hold(1);
  for (int i = 0; i < readers; i++) {
    std::thread t;
    try {
      t = std::thread(reader_main);
    } catch (const std::system_error &) {
      break;  // fewer readers, or none: the consumer reads what is left
    }
    ring.readers[ring.reader_count++] = std::move(t);
  }
  bool walker_started = true;
  try {
    ring.walker = std::thread(walker_main, produce, arg);
  } catch (const std::system_error &) {
    walker_started = false;
  }
  plat_signals_hold(0);
  ring.running = true;
  if (!walker_started) {  // no thread for the walk: the whole run here
    ra_stop();
    direct = true;
    direct_consume = consume;
    produce(arg);
    direct = false;
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
    unsigned i = (unsigned)(ring.head % RING);
    struct ra_event *e = &ring.events[i];
    if (ring.states[i] == S_WAITING) {  // caught up with the readers: read it here
      ring.states[i] = S_READING;
      hold.unlock();
      open_candidate(&e->file);
      hold.lock();
      ring.states[i] = S_DONE;
    }
    if (ring.states[i] != S_DONE) {
      consumer_wait(hold, idle);
      continue;
    }
    hold.unlock();
    consume(e);
    bool settled = PLAT_NAMES_BY_MODE && plat_file_apis_are_ansi();
    hold.lock();
    if (settled)
      names_settled = true;
    ring.states[i] = S_FREE;
    ring.head++;
    if (ring.walker_waits)
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
  for (unsigned long n = ring.head; n < ring.tail; n++)
    drop_event(&ring.events[n % RING]);
  ring.head = ring.tail;
}
