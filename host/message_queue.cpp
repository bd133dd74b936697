#include "host/message_queue.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace qavz {

namespace {

struct Pending {
  Message message;
  bool answered = false;
  int32_t result = 0;
  bool waited = false;  // a sender blocks on it
};

struct Queue {
  std::mutex mutex;
  std::condition_variable answered;
  std::deque<std::shared_ptr<Pending>> items;
  MessageHandler handler;
  std::function<void()> wake;
  std::thread::id owner;
  bool open = false;
};

Queue& Q() {
  static Queue q;
  return q;
}

void Enqueue(const std::shared_ptr<Pending>& p) {
  std::function<void()> wake;
  {
    std::lock_guard lock(Q().mutex);
    Q().items.push_back(p);
    wake = Q().wake;
  }
  if (wake) wake();
}

}  // namespace

void SetMessageHandler(MessageHandler handler) {
  std::lock_guard lock(Q().mutex);
  Q().handler = std::move(handler);
}

void SetMainWake(std::function<void()> wake) {
  std::lock_guard lock(Q().mutex);
  Q().wake = std::move(wake);
}

void BindMainThread() {
  std::lock_guard lock(Q().mutex);
  Q().owner = std::this_thread::get_id();
  Q().open = true;
}

bool OnMainThread() {
  std::lock_guard lock(Q().mutex);
  return Q().owner == std::this_thread::get_id();
}

void PostMainMessage(Message message) {
  auto p = std::make_shared<Pending>();
  p->message = std::move(message);
  Enqueue(p);
}

int32_t SendMainMessage(Message message) {
  MessageHandler handler;
  {
    std::lock_guard lock(Q().mutex);
    if (!Q().open) return 0;
    if (Q().owner == std::this_thread::get_id()) handler = Q().handler;
  }
  if (handler) return handler(message);
  auto p = std::make_shared<Pending>();
  p->message = std::move(message);
  p->waited = true;
  Enqueue(p);
  std::unique_lock lock(Q().mutex);
  Q().answered.wait(lock, [&] { return p->answered || !Q().open; });
  return p->answered ? p->result : 0;
}

int PumpMainMessages() {
  int count = 0;
  for (;;) {
    std::shared_ptr<Pending> p;
    MessageHandler handler;
    {
      std::lock_guard lock(Q().mutex);
      if (Q().items.empty()) break;
      p = Q().items.front();
      Q().items.pop_front();
      handler = Q().handler;
    }
    int32_t result = handler ? handler(p->message) : 0;
    ++count;
    if (p->waited) {
      std::lock_guard lock(Q().mutex);
      p->answered = true;
      p->result = result;
      Q().answered.notify_all();
    }
  }
  return count;
}

void ShutMainQueue() {
  std::lock_guard lock(Q().mutex);
  Q().open = false;
  Q().items.clear();
  Q().answered.notify_all();
}

}  // namespace qavz
