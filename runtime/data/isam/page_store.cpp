#include "runtime/data/isam/page_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "runtime/data/isam/byte_order.h"

namespace cinevo::isam {
namespace {

constexpr uint32_t kIoUnit = 64;
constexpr int kMaxTreeDepth = 64;
// An enciphered run of pages is written in parts of about this size (each enciphered into one
// buffer kept for the next).
constexpr uint64_t kCipherRun = 256 * 1024;
// Keeps every page address and the file length within 32 bits.
constexpr uint32_t kMaxUnits = (0xFFFFFFFFu - kHeaderSize) / kUnitSize;

uint64_t PageOffset(uint32_t address) { return uint64_t{address} * kUnitSize + kHeaderSize; }

}  // namespace

PageStore::PageStore(std::string path, int fd, const PageStoreOptions& options)
    : path_(std::move(path)), fd_(fd), options_(options), cache_(options.cache_limit, options.cache_low, options.index_cache_limit) {
  if (!options_.owner.empty()) cipher_ = std::make_unique<PageCipher>(options_.owner);
  if (options_.journal && !options_.read_only) journal_ = std::make_unique<Journal>(path_, io_, options_.sync);
}

void PageStore::ClearCache() {
  DropReadWindow();
  cache_.Clear();
  ++epoch_;
}

void PageStore::set_io(FileIo* io) {
  io_ = io ? io : &SystemFileIo();
  if (journal_) journal_->set_io(io_);
}

Status PageStore::UndoJournalled() {
  if (!journal_) return Status::Ok();
  map_.Unmap();  // the undo may cut the file short
  Status st = journal_->Undo(fd_);
  ClearCache();
  released_.clear();
  header_changed_ = false;
  disk_header_ = FileHeader{};
  new_file_ = false;
  Status reread = Refresh();
  return st.ok() ? reread : st;
}

PageStore::~PageStore() {
  if (fd_ >= 0) ::close(fd_);
}

Status PageStore::Open(const std::string& path, const PageStoreOptions& options, std::unique_ptr<PageStore>& out) {
  if (options.journal) {
    bool recovered = false;
    ISAM_RETURN_IF_ERROR(RecoverJournal(path, recovered, options.read_only));
  }
  int fd = ::open(path.c_str(), (options.read_only ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    if (err == ENOENT) return Status::Error(kErrFileNotFound, path);
    if (err == EACCES || err == EROFS || err == EPERM) return Status::Error(kErrAccessDenied, path);
    return Status::System(err, path);
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::Error(kErrInvalidDataFile, path + " is not a regular file");
  }
  std::unique_ptr<PageStore> store(new PageStore(path, fd, options));
  if (store->cipher_ && !store->cipher_->ok()) return Status::System(EINVAL, "cannot derive the file key");
  ISAM_RETURN_IF_ERROR(store->Refresh());
  out = std::move(store);
  return Status::Ok();
}

Status PageStore::Create(const std::string& path, const PageStoreOptions& options, std::unique_ptr<PageStore>& out) {
  if (options.read_only) return Status::Error(kErrAccessDenied, path);
  if (options.journal) ISAM_RETURN_IF_ERROR(DiscardJournal(path));
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    int err = errno;
    if (err == ENOENT) return Status::Error(kErrPathNotFound, path);
    if (err == EACCES || err == EROFS || err == EPERM) return Status::Error(kErrAccessDenied, path);
    return Status::System(err, path);
  }
  std::unique_ptr<PageStore> store(new PageStore(path, fd, options));
  if (store->cipher_ && !store->cipher_->ok()) return Status::System(EINVAL, "cannot derive the file key");
  store->new_file_ = true;
  store->header_changed_ = true;
  ISAM_RETURN_IF_ERROR(store->Commit());
  // A file reported as made is found after a loss of power too.
  if (options.sync) ISAM_RETURN_IF_ERROR(SyncParentDirectory(*store->io_, path));
  out = std::move(store);
  return Status::Ok();
}

uint64_t PageStore::file_size() const {
  struct stat st {};
  return ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

Status PageStore::ReadAt(uint64_t offset, size_t size, std::string& out, size_t* got) const {
  if (offset % kIoUnit != 0 || size % kIoUnit != 0) return Status::Internal(kCheckIoLength, "read of " + std::to_string(size) + " bytes");
  // A buffer that is reused keeps its bytes; only what the read does not reach is cleared.
  if (out.size() != size) out.resize(size);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_, out.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::System(errno, "read");
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (done < size) std::memset(out.data() + done, 0, size - done);
  if (got) *got = done;
  if (cipher_) {
    size_t whole = done - done % kIoUnit;
    std::string part = out.substr(0, whole);
    if (!cipher_->Decrypt(offset, part)) return Status::System(EIO, "decipher");
    out.replace(0, whole, part);
  }
  return Status::Ok();
}

bool PageStore::MappedRead(uint64_t offset, size_t size) {
  if (cipher_ || !options_.map_reads || map_refused_) return false;
  if (offset + size <= map_.length()) return true;
  // Beyond the mapping: map the file as it is now, once it holds the page. A file too short for
  // it is read as before, which reports how much there was.
  const uint64_t length = file_size();
  if (offset + size > length) return false;
  map_refused_ = !map_.Map(fd_, length);
  return !map_refused_;
}

Status PageStore::ReadFileStart(size_t size, std::string& out, size_t& got) {
  if (MappedRead(0, size)) {
    out.resize(size);
    if (map_.CopyOut(0, size, out.data())) {
      got = size;
      return Status::Ok();
    }
    map_.Unmap();  // cut short under the copy: the read below says how much is left
  }
  return ReadAt(0, size, out, &got);
}

Status PageStore::ReadPage(uint64_t offset, size_t size, std::string_view& out, size_t& got) {
  if (MappedRead(offset, size)) {
    if (read_buffer_.size() < size) read_buffer_.resize(size);
    if (!map_.CopyOut(offset, size, read_buffer_.data())) {
      map_.Unmap();
      return Status::System(EIO, "read: the file was cut short while it was read");
    }
    out = std::string_view(read_buffer_).substr(0, size);
    got = size;
    return Status::Ok();
  }
  if (window_length_ > 0 && offset >= window_start_ && offset + size <= window_start_ + window_length_) {
    out = std::string_view(window_).substr(offset - window_start_, size);
    got = size;
    last_read_end_ = offset + size;
    return Status::Ok();
  }
  bool in_run = last_read_end_ != 0 && offset >= last_read_end_ && offset - last_read_end_ <= kSequentialGap;
  last_read_end_ = offset + size;
  if (!in_run || offset + size >= header_.committed_length) {
    ISAM_RETURN_IF_ERROR(ReadAt(offset, size, read_buffer_, &got));
    out = std::string_view(read_buffer_).substr(0, got);
    return Status::Ok();
  }
  // Both ends are whole multiples of the I/O unit: pages and the committed length are.
  size_t length = static_cast<size_t>(std::min<uint64_t>(kReadWindow, header_.committed_length - offset));
  length = std::max(length, size);
  DropReadWindow();
  ISAM_RETURN_IF_ERROR(ReadAt(offset, length, window_, &got));
  window_start_ = offset;
  window_length_ = got - got % kIoUnit;
  got = std::min(got, size);
  out = std::string_view(window_).substr(0, got);
  return Status::Ok();
}

Status PageStore::WriteAt(uint64_t offset, std::string_view data) {
  DropReadWindow();
  if (offset % kIoUnit != 0 || data.size() % kIoUnit != 0) return Status::Internal(kCheckIoLength, "write of " + std::to_string(data.size()) + " bytes");
  if (cipher_) {
    cipher_scratch_.assign(data);
    if (!cipher_->Encrypt(offset, cipher_scratch_)) return Status::System(EIO, "encipher");
    data = cipher_scratch_;
  }
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = io_->Pwrite(fd_, data.data() + done, data.size() - done, offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::System(errno, "write");
    }
    if (n == 0) return Status::Error(kErrAccessDenied, "short write");
    done += static_cast<size_t>(n);
  }
  return Status::Ok();
}

// Pages that follow each other in the file go out in one write.
Status PageStore::WritePages(std::vector<PageRef>& pages) {
  std::sort(pages.begin(), pages.end(), [](const auto& a, const auto& b) { return a->address < b->address; });
  std::vector<struct iovec> run;
  uint64_t run_start = 0;
  uint64_t run_end = 0;
  for (const auto& page : pages) {
    uint64_t offset = PageOffset(page->address);
    if (!run.empty() && (offset != run_end || (cipher_ && run_end - run_start >= kCipherRun))) {
      ISAM_RETURN_IF_ERROR(WriteRun(run_start, run));
      run.clear();
    }
    if (run.empty()) run_start = offset;
    run.push_back({page->encoded.data(), page->encoded.size()});
    run_end = offset + page->encoded.size();
  }
  return run.empty() ? Status::Ok() : WriteRun(run_start, run);
}

Status PageStore::WriteRun(uint64_t offset, std::vector<struct iovec>& pieces) {
  DropReadWindow();
  if (!cipher_) return WriteVectorFully(*io_, fd_, pieces, offset, "write");
  cipher_scratch_.clear();
  for (const auto& piece : pieces) cipher_scratch_.append(static_cast<const char*>(piece.iov_base), piece.iov_len);
  if (!cipher_->Encrypt(offset, cipher_scratch_)) return Status::System(EIO, "encipher");
  return WriteFully(*io_, fd_, cipher_scratch_, offset, "write");
}

Status PageStore::Sync() {
  if (options_.sync && io_->Fdatasync(fd_) != 0) return Status::System(errno, "flush");
  return Status::Ok();
}

Status PageStore::ReadHeader(bool& empty) {
  std::string raw;
  size_t got = 0;
  ISAM_RETURN_IF_ERROR(ReadAt(0, kHeaderSize, raw, &got));
  empty = got == 0;
  if (empty) return Status::Ok();
  if (got < kHeaderSize) return Status::Error(kErrInvalidDataFile, "header shorter than 0x200 bytes");
  FileHeader h;
  ISAM_RETURN_IF_ERROR(DecodeHeader(raw, h));
  // A writer may keep the file length when the classes shrink (the length never falls below
  // its previous value); the bytes after the highest class are then free. A length that ends
  // inside the class table is damage.
  if (h.committed_length < h.DataLength()) {
    return Status::Internal(kCheckFileLength, "committed length ends inside the class table");
  }
  header_ = h;
  return Status::Ok();
}

Status PageStore::Refresh() {
  // Changes not yet committed (a transaction, a stream) are built on the header in memory.
  if (has_changes()) return Status::Ok();
  // A commit that failed and could not be undone left part of an update in the file: it is
  // undone before anything of the file is read again.
  if (journal_ && journal_->hot() && !journal_->held()) {
    map_.Unmap();  // the undo may cut the file short
    ISAM_RETURN_IF_ERROR(journal_->Undo(fd_));
    ClearCache();
  }
  bool empty = false;
  FileHeader before = disk_header_;
  bool had_header = !new_file_ && before.change_counter != 0;
  ISAM_RETURN_IF_ERROR(ReadHeader(empty));
  if (empty) {
    // A new file: nothing on disk yet; the first update writes the header.
    header_ = FileHeader{};
    disk_header_ = header_;
    new_file_ = true;
    ClearCache();
    return Status::Ok();
  }
  new_file_ = false;
  if (!had_header || header_.change_counter != before.change_counter) ClearCache();
  recovered_.clear();
  if (header_.written_length != header_.committed_length) {
    // An update did not complete: collect the pages written past the committed end.
    uint64_t offset = header_.committed_length;
    uint64_t limit = std::min<uint64_t>(header_.written_length, file_size());
    while (offset + kUnitSize <= limit) {
      std::string raw;
      ISAM_RETURN_IF_ERROR(ReadAt(offset, kUnitSize, raw));
      const auto* p = Bytes(raw);
      uint32_t stored = GetLe16(p + 4);
      if (stored < kPageHeaderSize || stored > kMaxPageBytes) break;
      recovered_.push_back(GetLe32(p));
      offset += (stored + kUnitSize - 1) / kUnitSize * kUnitSize;
    }
    header_.written_length = header_.committed_length;
    if (!options_.read_only) {
      DropReadWindow();
      map_.Unmap();
      if (io_->Ftruncate(fd_, header_.committed_length) != 0) return Status::System(errno, "truncate");
      ISAM_RETURN_IF_ERROR(WriteAt(0, EncodeHeader(header_)));
      ISAM_RETURN_IF_ERROR(Sync());
    }
  }
  disk_header_ = header_;
  return Status::Ok();
}

Status PageStore::IssueNumber(uint32_t& number) {
  uint32_t next = header_.number_counter + 1;
  if ((next >> 24) >= 0xFE) return Status::Internal(kCheckTableCounter, "number counter exhausted");
  header_.number_counter = next;
  header_changed_ = true;
  number = next;
  return Status::Ok();
}

Status PageStore::Load(uint32_t address, PageRef& out) {
  if (auto cached = cache_.Find(address)) {
    out = std::move(cached);
    return Status::Ok();
  }
  if (IsTemp(address)) return Status::Internal(kCheckParentLink, "unknown temporary page");
  uint32_t cls = header_.ClassOf(address);
  if (cls == 0) return Status::Internal(kCheckPageClass, "address " + std::to_string(address) + " lies in no class");
  uint64_t offset = PageOffset(address);
  size_t size = size_t{cls} * kUnitSize;
  if (offset + size > header_.committed_length) return Status::Internal(kCheckFileLength, "page beyond the file length");
  size_t got = 0;
  std::string_view raw;
  ISAM_RETURN_IF_ERROR(ReadPage(offset, size, raw, got));
  if (got != size) return Status::Internal(kCheckFileLength, "file ends inside page " + std::to_string(address));
  PageRef page = cache_.TakeSpare();
  if (!page) page = PageRef::Make();
  ISAM_RETURN_IF_ERROR(DecodePage(raw, address, *page, unpack_buffer_));
  cache_.Insert(page, false);
  out = std::move(page);
  return Status::Ok();
}

Status PageStore::LoadChild(Page& parent, size_t index, PageRef& out) {
  uint32_t address = parent.children[index];
  if (parent.child_pages_at == cache_.departures() && index < parent.child_pages.size()) {
    const Page::ChildPage& child = parent.child_pages[index];
    Page* known = child.page;
    if (child.slot_address != 0) {
      for (uintptr_t line = 0; line < 4; ++line) __builtin_prefetch(reinterpret_cast<const void*>(child.slot_address + 64 * line));
    }
    if (known && known->address == address) {
      out = PageRef::Share(*known);
      cache_.Stamp(*known);
      return Status::Ok();
    }
  }
  ISAM_RETURN_IF_ERROR(Load(address, out));
  // The load may have evicted a page, which makes every remembered child page of the parent
  // unsure: start its list afresh.
  if (parent.child_pages_at != cache_.departures()) {
    parent.child_pages.assign(parent.children.size(), Page::ChildPage{});
    parent.child_pages_at = cache_.departures();
  }
  if (index >= parent.child_pages.size()) parent.child_pages.resize(parent.children.size());
  if (index < parent.child_pages.size()) parent.child_pages[index] = Page::ChildPage{out.get(), out->slot_address()};
  return Status::Ok();
}

PageRef PageStore::NewPage(uint8_t level) {
  auto page = PageRef::Make();
  page->address = next_temp_++;
  page->level = level;
  cache_.Insert(page, true);
  ++epoch_;
  return page;
}

void PageStore::Touch(const PageRef& page) {
  ++touches_;
  cache_.MarkDirty(page);
}

void PageStore::Release(const PageRef& page) {
  ++epoch_;
  cache_.Erase(page->address);
  if (!IsTemp(page->address)) released_.push_back(page->address);
}

Status PageStore::FindParent(const Page& child, uint32_t child_address, PageRef& parent, size_t& index) {
  if (child.empty()) return Status::Internal(kCheckEmptyPage, "moving an empty page");
  std::string_view key = child.key(0);
  uint32_t address = header_.root;
  for (int depth = 0; depth < kMaxTreeDepth && address != kNoRoot; ++depth) {
    PageRef page;
    ISAM_RETURN_IF_ERROR(Load(address, page));
    if (page->level <= child.level) break;
    size_t i = static_cast<size_t>(std::max(0, page->FindFloor(key)));
    if (page->level == child.level + 1) {
      if (page->children[i] != child_address) {
        auto it = std::find(page->children.begin(), page->children.end(), child_address);
        if (it == page->children.end()) break;
        i = static_cast<size_t>(it - page->children.begin());
      }
      parent = std::move(page);
      index = i;
      return Status::Ok();
    }
    address = page->children[i];
  }
  return Status::Internal(kCheckParentLink, "no parent points to page " + std::to_string(child_address));
}

Status PageStore::Relink(const Page& page, uint32_t from, uint32_t to) {
  if (header_.root == from) {
    header_.root = to;
    header_changed_ = true;
    return Status::Ok();
  }
  PageRef parent;
  size_t index = 0;
  ChildLink* known = IsTemp(from) && from - parents_base_ < new_page_parents_.size()
                         ? &new_page_parents_[from - parents_base_] : nullptr;
  if (known && known->page && known->page->children[known->index] == from) {
    parent = std::move(known->page);
    index = known->index;
  } else {
    ISAM_RETURN_IF_ERROR(FindParent(page, from, parent, index));
  }
  parent->children[index] = to;
  if (parent->encoded_valid) PutLe32(reinterpret_cast<uint8_t*>(parent->encoded.data()) + kPageHeaderSize + 4 * index, to);
  cache_.MarkDirty(parent);
  ++epoch_;
  return Status::Ok();
}

Status PageStore::Move(uint32_t from, uint32_t to) {
  PageRef page;
  ISAM_RETURN_IF_ERROR(Load(from, page));
  cache_.Rekey(from, to);
  ++epoch_;
  page->address = to;
  if (page->encoded_valid) PutLe32(reinterpret_cast<uint8_t*>(page->encoded.data()), to);
  cache_.MarkDirty(page);
  ++stats_.moved_pages;
  return Relink(*page, from, to);
}

// GapBelow's answer when the classes below cannot give way: not an error code of the runtime,
// it only sends Allocate to the classes above.
constexpr int kNoRoomBelow = -1;

// Makes the free gap below class k (down to the end of class k-1, or address 0) at least
// `need` units by shifting lower classes down: a non-empty class moves its last page to the
// front of its range. With apply false only the feasibility is worked out (on a copy).
Status PageStore::GapBelow(FileHeader& h, uint32_t k, uint32_t need, bool apply, int depth) {
  uint32_t lower = k == 1 ? 0 : h.end[k - 1];
  uint32_t gap = h.start[k] - lower;
  if (gap >= need) return Status::Ok();
  if (k == 1 || depth > 64) return Status::Error(kNoRoomBelow);
  uint32_t j = k - 1;
  uint32_t shortfall = need - gap;
  if (h.start[j] == h.end[j]) {
    ISAM_RETURN_IF_ERROR(GapBelow(h, j, shortfall, apply, depth + 1));
    h.start[j] -= shortfall;
    h.end[j] -= shortfall;
    return Status::Ok();
  }
  uint32_t moves = (shortfall + j - 1) / j;
  ISAM_RETURN_IF_ERROR(GapBelow(h, j, moves * j, apply, depth + 1));
  for (uint32_t m = 0; m < moves; ++m) {
    if (apply) ISAM_RETURN_IF_ERROR(Move(h.end[j] - j, h.start[j] - j));
    h.start[j] -= j;
    h.end[j] -= j;
  }
  return Status::Ok();
}

// Makes the free gap above class k (up to the start of class k+1) at least `need` units by
// shifting higher classes up: a non-empty class moves its first page to its end. Class 59
// grows into the end of the file.
Status PageStore::GapAbove(FileHeader& h, uint32_t k, uint32_t need, bool apply, int depth) {
  if (k == kMaxClass) {
    return h.end[k] <= kMaxUnits - need ? Status::Ok() : Status::Internal(kCheckFileLength, "file too large");
  }
  uint32_t gap = h.start[k + 1] - h.end[k];
  if (gap >= need) return Status::Ok();
  if (depth > 64) return Status::Internal(kCheckClassTable, "class shift too deep");
  // Every class from k+1 up must start at `target` or later. Empty classes give way without a
  // page moved: each one below `target` takes its place there (so the classes stay in order).
  // The first class that holds pages and starts below `target` makes room by moving pages of
  // its own; past the top class the file itself grows.
  uint64_t target = uint64_t{h.end[k]} + need;
  uint32_t j = k + 1;
  while (j <= kMaxClass && h.start[j] == h.end[j] && h.start[j] < target) ++j;
  if (j > kMaxClass) {
    if (target > kMaxUnits) return Status::Internal(kCheckFileLength, "file too large");
  } else if (h.start[j] < target) {
    uint32_t shortfall = static_cast<uint32_t>(target - h.start[j]);
    uint32_t moves = (shortfall + j - 1) / j;
    ISAM_RETURN_IF_ERROR(GapAbove(h, j, moves * j, apply, depth + 1));
    for (uint32_t m = 0; m < moves; ++m) {
      if (apply) ISAM_RETURN_IF_ERROR(Move(h.start[j], h.end[j]));
      h.start[j] += j;
      h.end[j] += j;
    }
  }
  for (uint32_t e = k + 1; e < j; ++e) h.start[e] = h.end[e] = static_cast<uint32_t>(target);
  return Status::Ok();
}

// An empty class keeps the place where its last page was. When no class above it holds a page,
// that place may lie far beyond the end of the data (after most of the file was emptied), and
// a page put there would make the file that long again: such a class starts over right after
// the highest class that holds pages, as a class of a new file does.
bool PageStore::PlaceAtDataEnd(uint32_t n, uint32_t& address) {
  if (header_.start[n] != header_.end[n]) return false;
  for (uint32_t k = n + 1; k <= kMaxClass; ++k) {
    if (header_.start[k] != header_.end[k]) return false;
  }
  uint32_t j = n - 1;
  while (j >= 1 && header_.start[j] == header_.end[j]) --j;
  uint32_t top = j >= 1 ? header_.end[j] : 0;
  if (top > kMaxUnits - n) return false;
  // Classes j+1 .. n-1 are empty and lie at or above `top`; those above n are empty too.
  for (uint32_t k = j + 1; k < n; ++k) header_.start[k] = header_.end[k] = top;
  header_.start[n] = top;
  header_.end[n] = top + n;
  for (uint32_t k = n + 1; k <= kMaxClass; ++k) {
    if (header_.start[k] < top + n) header_.start[k] = header_.end[k] = top + n;
  }
  address = top;
  return true;
}

Status PageStore::Allocate(uint32_t n, uint32_t& address) {
  if (n < 1 || n > kMaxClass) return Status::Internal(kCheckPageTooLarge, "page of " + std::to_string(n) + " units");
  if (PlaceAtDataEnd(n, address)) {
    ++stats_.grown_up;
    header_changed_ = true;
    return Status::Ok();
  }
  FileHeader trial = header_;
  if (GapBelow(trial, n, n, false, 0).ok()) {
    ISAM_RETURN_IF_ERROR(GapBelow(header_, n, n, true, 0));
    header_.start[n] -= n;
    address = header_.start[n];
    ++stats_.grown_down;
  } else {
    ISAM_RETURN_IF_ERROR(GapAbove(header_, n, n, true, 0));
    address = header_.end[n];
    header_.end[n] += n;
    ++stats_.grown_up;
  }
  header_changed_ = true;
  return Status::Ok();
}

// Gives an unlinked page's address back to its class: the class shrinks at either end, or its
// last page moves into the hole.
Status PageStore::FreeAddress(uint32_t address) {
  uint32_t n = header_.ClassOf(address);
  if (n == 0) return Status::Internal(kCheckPageClass, "releasing an address outside every class");
  cache_.Erase(address);
  ++stats_.released;
  if (address == header_.start[n]) {
    header_.start[n] += n;
  } else if (address == header_.end[n] - n) {
    header_.end[n] -= n;
  } else {
    ISAM_RETURN_IF_ERROR(Move(header_.end[n] - n, address));
    header_.end[n] -= n;
  }
  header_changed_ = true;
  return Status::Ok();
}

Status PageStore::Fit(const PageRef& page) {
  if (!page->encoded_valid) {
    ISAM_RETURN_IF_ERROR(EncodePage(*page, page->encoded));
    page->encoded_valid = true;
  }
  uint32_t units = static_cast<uint32_t>(page->encoded.size() / kUnitSize);
  bool temp = IsTemp(page->address);
  if (!temp && header_.ClassOf(page->address) == units) return Status::Ok();
  uint32_t address = 0;
  ISAM_RETURN_IF_ERROR(Allocate(units, address));
  uint32_t old = page->address;  // re-read: the allocation may have moved this very page
  cache_.Rekey(old, address);
  ++epoch_;
  page->address = address;
  PutLe32(reinterpret_cast<uint8_t*>(page->encoded.data()), address);
  ISAM_RETURN_IF_ERROR(Relink(*page, old, address));
  if (!temp) ISAM_RETURN_IF_ERROR(FreeAddress(old));
  return Status::Ok();
}

// An update is committed in four phases: the addresses of emptied pages are given back; every
// changed page is encoded and placed in the size class its bytes need; the original bytes of
// every region the update writes go to the journal; then the pages and the header are written,
// the file cut to its length, flushed, and the journal cleared (the commit point).
Status PageStore::Commit() {
  if (options_.read_only) {
    if (has_changes()) {
      Abort();
      return Status::Error(kErrAccessDenied, "file opened read-only");
    }
    return Status::Ok();
  }
  if (!prepared_) {
    if (!has_changes()) return Status::Ok();
    ISAM_RETURN_IF_ERROR(Prepare());
  }
  prepared_ = false;
  std::vector<PageRef> dirty;
  dirty.swap(prepared_pages_);
  Status st = WriteUpdate(dirty, prepared_length_, prepared_size_);
  ForgetEncoded(dirty);
  if (!st.ok()) {
    UndoAndAbort(st);
    return st;
  }
  cache_.MarkAllClean();
  disk_header_ = header_;
  header_changed_ = false;
  new_file_ = false;
  return Status::Ok();
}

Status PageStore::Prepare() {
  if (options_.read_only || !has_changes()) return Status::Ok();  // Commit answers for these
  std::vector<PageRef> dirty = cache_.DirtyPages();
  for (const auto& page : dirty) page->encoded_valid = false;
  Status st = ReleaseFreedPages();
  if (st.ok()) st = PlacePages();
  if (st.ok()) {
    // Placing may have made more pages dirty (moved pages, re-pointed parents).
    dirty = cache_.DirtyPages();
    prepared_length_ = header_.DataLength();
    prepared_size_ = file_size();
    st = JournalUpdate(dirty, prepared_length_, prepared_size_);
  }
  if (!st.ok()) {
    ForgetEncoded(dirty);
    UndoAndAbort(st);
    return st;
  }
  prepared_pages_ = std::move(dirty);
  prepared_ = true;
  return Status::Ok();
}

void PageStore::ForgetEncoded(std::vector<PageRef>& pages) {
  for (const auto& page : pages) {
    page->encoded_valid = false;
    std::string().swap(page->encoded);
  }
  pages.clear();  // the cache alone holds the pages now, so that it can give back what exceeds its limit
}

void PageStore::UndoAndAbort(Status& st) {
  // Whatever reached the file goes back. When even that fails the journal stays hot: the next
  // Refresh tries again before it reads anything, and the next open replays it.
  if (journal_ && journal_->hot()) {
    map_.Unmap();  // the undo may cut the file short
    Status undone = journal_->Undo(fd_);
    if (!undone.ok()) st.detail += "; " + undone.detail;
  }
  Abort();
}

// Phase 1: the addresses of the pages emptied by the update go back to their classes.
Status PageStore::ReleaseFreedPages() {
  // Released in descending address order, so that a page moved into a hole is never one that
  // is itself waiting for release.
  std::sort(released_.begin(), released_.end(), std::greater<>());
  for (uint32_t address : released_) ISAM_RETURN_IF_ERROR(FreeAddress(address));
  released_.clear();
  return Status::Ok();
}

// Phase 2: every changed page gets its bytes and an address in the class they need.
Status PageStore::PlacePages() {
  // Pages are placed smallest class first: a page placed in a class makes every non-empty
  // class above it shift by one page, so classes that are still empty are best filled after
  // the ones below them (a new file then needs no page moved at all). The parents of pages
  // made in this update are noted first, so that giving such a page its address needs no
  // search from the root.
  std::vector<PageRef> placing = cache_.DirtyPages();
  new_page_parents_.clear();
  parents_base_ = next_temp_;
  for (const auto& page : placing) {
    if (IsTemp(page->address)) parents_base_ = std::min(parents_base_, page->address);
  }
  new_page_parents_.resize(next_temp_ - parents_base_);
  for (const auto& page : placing) {
    ISAM_RETURN_IF_ERROR(EncodePage(*page, page->encoded));
    page->encoded_valid = true;
    for (size_t i = 0; i < page->children.size(); ++i) {
      uint32_t child = page->children[i];
      if (IsTemp(child) && child - parents_base_ < new_page_parents_.size()) {
        new_page_parents_[child - parents_base_] = ChildLink{page, i};
      }
    }
  }
  std::stable_sort(placing.begin(), placing.end(),
                   [](const auto& a, const auto& b) { return a->encoded.size() < b->encoded.size(); });
  for (const auto& page : placing) ISAM_RETURN_IF_ERROR(Fit(page));
  new_page_parents_.clear();
  return Status::Ok();
}

// Phase 3: the original bytes of every region the update writes (and of the tail it cuts off)
// are saved and flushed before any of them is overwritten. Without a journal the file marks a
// growth in progress the format's way instead: the old header with the new length in its
// "written" field, flushed before the pages. A journalled update needs no such mark (and saves
// its flush): the journal puts back the old header and length whatever part of the update
// reached the disk.
Status PageStore::JournalUpdate(const std::vector<PageRef>& dirty, uint32_t length, uint64_t size) {
  if (journal_) {
    std::vector<JournalRegion> regions;
    regions.reserve(dirty.size() + 2);
    regions.push_back({0, kHeaderSize});
    for (const auto& page : dirty) {
      regions.push_back({PageOffset(page->address), uint64_t{header_.ClassOf(page->address)} * kUnitSize});
    }
    // The bytes past the new length are only cut off, never written.
    if (length < size) regions.push_back({length, size - length, true});
    return journal_->Begin(fd_, size, regions);
  }
  if (!new_file_ && length > disk_header_.committed_length) {
    FileHeader marker = disk_header_;
    marker.written_length = length;
    ISAM_RETURN_IF_ERROR(WriteAt(0, EncodeHeader(marker)));
    ISAM_RETURN_IF_ERROR(Sync());
  }
  return Status::Ok();
}

// Phase 4: the pages, then the header with both lengths equal and the change counter moved;
// the file is cut to its length, flushed, and the journal cleared: the commit point.
Status PageStore::WriteUpdate(std::vector<PageRef>& dirty, uint32_t length, uint64_t size) {
  for (const auto& page : dirty) {
    // A page changed only by moves and re-pointed children keeps the bytes from Fit.
    if (!page->encoded_valid) {
      ISAM_RETURN_IF_ERROR(EncodePage(*page, page->encoded));
      page->encoded_valid = true;
    }
    if (header_.ClassOf(page->address) * kUnitSize != page->encoded.size()) {
      return Status::Internal(kCheckPageClass, "page does not fit its class");
    }
  }
  ISAM_RETURN_IF_ERROR(WritePages(dirty));
  header_.committed_length = length;
  header_.written_length = length;
  header_.change_counter += 1;
  if (new_file_) header_.change_counter = std::max<uint32_t>(header_.change_counter, 1);
  ISAM_RETURN_IF_ERROR(WriteAt(0, EncodeHeader(header_)));
  // Nothing above writes past `length`: the file is longer only if it was so before.
  if (length < size) {
    DropReadWindow();
    map_.Unmap();
    if (io_->Ftruncate(fd_, length) != 0) return Status::System(errno, "truncate");
  }
  ISAM_RETURN_IF_ERROR(Sync());
  return journal_ ? journal_->Finish() : Status::Ok();
}

void PageStore::Abort() {
  if (prepared_) {
    // Prepared but not written: the journal holds the file as it still is, so undoing it
    // changes nothing on disk and only puts it out of use.
    prepared_ = false;
    ForgetEncoded(prepared_pages_);
    if (journal_ && journal_->hot()) {
      map_.Unmap();  // the undo may cut the file short
      static_cast<void>(journal_->Undo(fd_));
    }
  }
  new_page_parents_.clear();
  cache_.DropDirty();
  ++epoch_;
  released_.clear();
  header_ = disk_header_;
  header_changed_ = false;
  // Pages moved or re-pointed during a failed commit may have been clean copies: start over.
  ClearCache();
}

}  // namespace cinevo::isam
