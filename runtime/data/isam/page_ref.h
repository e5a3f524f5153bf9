// PageRef: an owning, reference-counted handle to a page of the B-tree.
//
// The page cache, the tree's remembered paths and an operation in progress share pages; the
// count tells the cache which pages someone besides itself still holds (those are never
// evicted), and the last handle let go destroys the page.
//
// The count lives in the page itself, in the cache line a search reads first, and it is a
// plain integer: the pages of a file are used by one thread at a time, so passing a page from
// hand to hand costs an increment, not an atomic operation and its wait for that line.
#pragma once

#include <cstddef>
#include <utility>

#include "runtime/data/isam/page_codec.h"

namespace cinevo::isam {

class PageRef {
 public:
  PageRef() = default;
  PageRef(std::nullptr_t) {}  // NOLINT: a null handle, as with the standard smart pointers

  // A new, empty page with a count of one.
  static PageRef Make();

  // Another handle to a page that a handle already holds.
  static PageRef Share(Page& page) {
    PageRef ref;
    ref.page_ = &page;
    ++page.refs_.n;
    return ref;
  }

  PageRef(const PageRef& other) : page_(other.page_) {
    if (page_) ++page_->refs_.n;
  }
  PageRef(PageRef&& other) noexcept : page_(std::exchange(other.page_, nullptr)) {}
  PageRef& operator=(const PageRef& other) {
    if (other.page_) ++other.page_->refs_.n;  // first, so that assigning a page to itself keeps it
    Release();
    page_ = other.page_;
    return *this;
  }
  PageRef& operator=(PageRef&& other) noexcept {
    if (this != &other) {
      Release();
      page_ = std::exchange(other.page_, nullptr);
    }
    return *this;
  }
  ~PageRef() { Release(); }

  Page* get() const { return page_; }
  Page& operator*() const { return *page_; }
  Page* operator->() const { return page_; }
  explicit operator bool() const { return page_ != nullptr; }
  // How many handles hold the page (0 for a null handle).
  size_t use_count() const { return page_ ? page_->refs_.n : 0; }
  static size_t HoldersOf(const Page& page) { return page.refs_.n; }
  void reset() {
    Release();
    page_ = nullptr;
  }

  friend bool operator==(const PageRef& a, const PageRef& b) { return a.page_ == b.page_; }
  friend bool operator==(const PageRef& a, std::nullptr_t) { return a.page_ == nullptr; }

 private:
  void Release() {
    if (page_ && --page_->refs_.n == 0) Destroy(page_);
  }
  static void Destroy(Page* page);

  Page* page_ = nullptr;
};

}  // namespace cinevo::isam
