// Threads kept and reused for runs that start many (the fuzz targets).
#include "platform/thread_reuse.h"

#include <pthread.h>

#include <atomic>

namespace {

// The extraction starts one thread at a time (the output writer's); a few
// spare cover a routine that is still returning when the next one starts.
const u32 kWorkers = 4;

struct Worker {
  pthread_mutex_t mutex;
  pthread_cond_t wake;
  ThreadRoutine routine;  // null while idle
  void* argument;
  std::atomic<bool> claimed;  // given a routine, or being started
  bool started;               // its thread exists (guarded by g_poolMutex)
};

Worker g_workers[kWorkers];
pthread_mutex_t g_poolMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_once_t g_once = PTHREAD_ONCE_INIT;
std::atomic<bool> g_on{false};

void Init() {
  for (Worker& w : g_workers) {
    pthread_mutex_init(&w.mutex, nullptr);
    pthread_cond_init(&w.wake, nullptr);
  }
}

void* Loop(void* p) {
  Worker* w = static_cast<Worker*>(p);
  for (;;) {
    pthread_mutex_lock(&w->mutex);
    while (!w->routine) pthread_cond_wait(&w->wake, &w->mutex);
    ThreadRoutine routine = w->routine;
    void* argument = w->argument;
    pthread_mutex_unlock(&w->mutex);
    routine(argument);
    pthread_mutex_lock(&w->mutex);
    w->routine = nullptr;
    pthread_mutex_unlock(&w->mutex);
    w->claimed.store(false, std::memory_order_release);
  }
  return nullptr;
}

}  // namespace

void SetThreadReuse(bool on) { g_on.store(on); }

bool ThreadReuseOn() { return g_on.load(); }

bool StartReusedThread(ThreadRoutine routine, void* argument) {
  pthread_once(&g_once, Init);
  for (Worker& w : g_workers) {
    bool expected = false;
    if (!w.claimed.compare_exchange_strong(expected, true, std::memory_order_acquire)) continue;
    pthread_mutex_lock(&g_poolMutex);
    bool ok = w.started;
    if (!ok) {
      pthread_attr_t attr;
      pthread_attr_init(&attr);
      pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
      pthread_t thread;
      ok = w.started = pthread_create(&thread, &attr, Loop, &w) == 0;
      pthread_attr_destroy(&attr);
    }
    pthread_mutex_unlock(&g_poolMutex);
    if (!ok) {
      w.claimed.store(false);
      return false;
    }
    pthread_mutex_lock(&w.mutex);
    w.routine = routine;
    w.argument = argument;
    pthread_cond_signal(&w.wake);
    pthread_mutex_unlock(&w.mutex);
    return true;
  }
  return false;
}
