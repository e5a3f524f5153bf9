#include "runtime/data/isam/page_ref.h"

#include <memory>
#include <new>

namespace cinevo::isam {

// Pages are allocated on their own alignment (a pair of cache lines), so that the part a
// search reads first starts a line.
PageRef PageRef::Make() {
  void* memory = ::operator new(sizeof(Page), std::align_val_t{alignof(Page)});
  PageRef ref;
  ref.page_ = std::construct_at(static_cast<Page*>(memory));
  ref.page_->refs_.n = 1;
  return ref;
}

void PageRef::Destroy(Page* page) {
  std::destroy_at(page);
  ::operator delete(page, std::align_val_t{alignof(Page)});
}

}  // namespace cinevo::isam
