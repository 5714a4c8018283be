// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConcurrentRun.h"

#if defined(_WIN32)
#include <windows.h>

namespace {

struct Call {
  void (*task)(void*);
  void* argument;
};

DWORD WINAPI RunCall(LPVOID call) {
  Call* c = static_cast<Call*>(call);
  c->task(c->argument);
  return 0;
}

}  // namespace

bool RunConcurrently(void (*task)(void*), void* first, void* second) {
  Call calls[2] = {{task, first}, {task, second}};
  HANDLE threads[2];
  threads[0] = CreateThread(nullptr, 0, RunCall, &calls[0], 0, nullptr);
  if (!threads[0]) return false;
  threads[1] = CreateThread(nullptr, 0, RunCall, &calls[1], 0, nullptr);
  if (!threads[1]) {
    // The first task may be waiting for its partner: run the partner here.
    RunCall(&calls[1]);
    WaitForSingleObject(threads[0], INFINITE);
    CloseHandle(threads[0]);
    return false;
  }
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  return true;
}

void LetOthersRun() { Sleep(0); }

#else
#include <system_error>
#include <thread>

bool RunConcurrently(void (*task)(void*), void* first, void* second) {
  std::thread a;
  try {
    a = std::thread(task, first);
  } catch (const std::system_error&) {
    return false;
  }
  try {
    std::thread b(task, second);
    a.join();
    b.join();
    return true;
  } catch (const std::system_error&) {
    task(second);
    a.join();
    return false;
  }
}

void LetOthersRun() { std::this_thread::yield(); }

#endif
