#include <kelmsp/ReferenceCount.h>

ReferenceCount::ReferenceCount() : m_count(new std::atomic<int>(1)) {}

ReferenceCount::ReferenceCount(const ReferenceCount& other) : m_count(other.m_count) {
  m_count->fetch_add(1, std::memory_order_relaxed);
}

ReferenceCount& ReferenceCount::operator=(const ReferenceCount& other) {
  // Count the other first, so that assigning a copy to itself keeps the counter alive.
  std::atomic<int>* incoming = other.m_count;
  incoming->fetch_add(1, std::memory_order_relaxed);
  decrement();
  m_count = incoming;
  return *this;
}

ReferenceCount::~ReferenceCount() { decrement(); }

void ReferenceCount::decrement() {
  if (m_count->fetch_sub(1, std::memory_order_acq_rel) == 1) delete m_count;
  m_count = nullptr;
}

bool ReferenceCount::unique() const { return m_count->load(std::memory_order_acquire) == 1; }

int ReferenceCount::count() const { return m_count->load(std::memory_order_acquire); }
