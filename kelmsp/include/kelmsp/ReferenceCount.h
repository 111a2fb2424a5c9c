// A counter shared by all copies of an object: the heap integer starts at 1,
// every copy adds 1, and the last copy to go frees it.
#pragma once

#include <kelmsp/KelmExport.h>

#include <atomic>

class KELMSP_API ReferenceCount {
 public:
  ReferenceCount();
  ReferenceCount(const ReferenceCount& other);
  ReferenceCount& operator=(const ReferenceCount& other);
  ~ReferenceCount();

  // True when no other copy shares the counter.
  bool unique() const;
  // Number of copies sharing the counter.
  int count() const;

 private:
  void decrement();

  std::atomic<int>* m_count;
};
