// Shared element storage of vectors and matrices.
//
// Copies share one array and a reference counter; the array is freed with the
// last copy. Writing goes through mutableData(), which first gives the writer
// its own array when the array is shared, so a value written through one copy
// is never seen through another. A pointer or reference obtained for writing
// stays valid until the object is next copied, assigned or resized; do not
// keep it across a copy.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <new>

template <class T>
class KelmSharedArray {
 public:
  KelmSharedArray() noexcept = default;
  explicit KelmSharedArray(std::size_t n) : m_block(n ? Block::create(n) : nullptr) {}
  KelmSharedArray(const KelmSharedArray& other) : m_block(share(other.m_block)) {}
  KelmSharedArray(KelmSharedArray&& other) noexcept : m_block(other.m_block) { other.m_block = nullptr; }
  KelmSharedArray& operator=(const KelmSharedArray& other) {
    Block* b = share(other.m_block);  // first take the other array, then let go of ours
    release(m_block);
    m_block = b;
    return *this;
  }
  KelmSharedArray& operator=(KelmSharedArray&& other) noexcept {
    if (this != &other) {
      release(m_block);
      m_block = other.m_block;
      other.m_block = nullptr;
    }
    return *this;
  }
  ~KelmSharedArray() { release(m_block); }

  std::size_t size() const noexcept { return m_block ? m_block->n : 0; }
  const T* data() const noexcept { return m_block ? m_block->data() : nullptr; }

  // Pointer for writing: first detaches a shared array.
  T* mutableData() {
    if (!m_block) return nullptr;
    if (m_block->refs.load(std::memory_order_acquire) != 1) {
      Block* own = Block::copyOf(*m_block);
      release(m_block);
      m_block = own;
    }
    return m_block->data();
  }

  int useCount() const noexcept { return m_block ? m_block->refs.load(std::memory_order_acquire) : 0; }
  bool sharesWith(const KelmSharedArray& other) const noexcept { return m_block && m_block == other.m_block; }

 private:
  struct Block {
    std::atomic<int> refs{1};
    std::size_t n = 0;
    T* values = nullptr;
    T* data() const noexcept { return values; }

    static Block* create(std::size_t n) {
      T* values = new T[n]();
      Block* b = new (std::nothrow) Block;
      if (!b) {
        delete[] values;
        throw std::bad_alloc();
      }
      b->n = n;
      b->values = values;
      return b;
    }
    static Block* copyOf(const Block& src) {
      T* values = new T[src.n];
      std::copy(src.values, src.values + src.n, values);
      Block* b = new (std::nothrow) Block;
      if (!b) {
        delete[] values;
        throw std::bad_alloc();
      }
      b->n = src.n;
      b->values = values;
      return b;
    }
    static void destroy(Block* b) noexcept {
      delete[] b->values;
      delete b;
    }
  };

  static Block* share(Block* b) {
    if (!b) return nullptr;
    b->refs.fetch_add(1, std::memory_order_relaxed);
    return b;
  }
  static void release(Block* b) noexcept {
    if (b && b->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) Block::destroy(b);
  }

  Block* m_block = nullptr;
};
