/* The least a scan can do: list the tree on one thread (readdir, with the
 * entry's type), and open each regular file, read its first 10140 bytes and
 * close it, on THREADS threads.  With THREADS 1 the listing thread does it
 * itself and, like a careful one-file-at-a-time scanner, makes sure with an
 * lstat that the entry is still a regular file before it opens it: four
 * system calls a file.  The yardsticks for bench/scan-bench.
 * Usage: minimal_scan THREADS DIR */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define QUEUE 1024
static char queue[QUEUE][4096];
static unsigned long q_head, q_tail;
static int q_done;
static pthread_mutex_t q_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t q_more = PTHREAD_COND_INITIALIZER, q_room = PTHREAD_COND_INITIALIZER;
static int threads;
static long files;

static void read_file(const char *path, char *buf) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW | O_NOATIME);
  if (fd < 0)
    return;
  if (read(fd, buf, 10140) >= 0)
    __atomic_add_fetch(&files, 1, __ATOMIC_RELAXED);
  close(fd);
}

static void hand_over(const char *path) {
  static char buf[10140];
  if (threads == 1) {
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISREG(st.st_mode))
      read_file(path, buf);
    return;
  }
  pthread_mutex_lock(&q_lock);
  while (q_tail - q_head == QUEUE)
    pthread_cond_wait(&q_room, &q_lock);
  strcpy(queue[q_tail % QUEUE], path);
  q_tail++;
  pthread_cond_signal(&q_more);
  pthread_mutex_unlock(&q_lock);
}

static void *worker(void *arg) {
  char buf[10140], path[4096];
  (void)arg;
  for (;;) {
    pthread_mutex_lock(&q_lock);
    while (q_head == q_tail && !q_done)
      pthread_cond_wait(&q_more, &q_lock);
    if (q_head == q_tail) {
      pthread_mutex_unlock(&q_lock);
      return NULL;
    }
    strcpy(path, queue[q_head % QUEUE]);
    q_head++;
    pthread_cond_signal(&q_room);
    pthread_mutex_unlock(&q_lock);
    read_file(path, buf);
  }
}

static void list(const char *dir) {
  DIR *d = opendir(dir);
  if (d == NULL)
    return;
  struct dirent *e;
  char path[4096];
  while ((e = readdir(d)) != NULL) {
    if (e->d_name[0] == '.' && (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0)))
      continue;
    snprintf(path, sizeof path, "%s/%s", dir, e->d_name);
    if (e->d_type == DT_DIR)
      list(path);
    else if (e->d_type == DT_REG)
      hand_over(path);
  }
  closedir(d);
}

int main(int argc, char **argv) {
  if (argc < 3)
    return 2;
  threads = atoi(argv[1]);
  if (threads < 1 || threads > 64)
    return 2;
  pthread_t t[64];
  for (int i = 0; threads > 1 && i < threads; i++)
    pthread_create(&t[i], NULL, worker, NULL);
  list(argv[2]);
  pthread_mutex_lock(&q_lock);
  q_done = 1;
  pthread_cond_broadcast(&q_more);
  pthread_mutex_unlock(&q_lock);
  for (int i = 0; threads > 1 && i < threads; i++)
    pthread_join(t[i], NULL);
  printf("%ld\n", files);
  return 0;
}
