#include "platform/mapped_file.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace cinevo::platform {
namespace {

// The guarded copy running on this thread, if any: a SIGBUS raised inside it jumps back here.
thread_local sigjmp_buf* t_guard = nullptr;

// The process's SIGBUS handler before ours, set once when ours is installed.
struct sigaction g_previous {};

void OnBus(int sig, siginfo_t* info, void* context) {
  if (sigjmp_buf* guard = t_guard) {
    t_guard = nullptr;
    siglongjmp(*guard, 1);
  }
  // Not a guarded copy: what would have happened without us.
  if ((g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_sigaction) {
    g_previous.sa_sigaction(sig, info, context);
    return;
  }
  if (!(g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(sig);
    return;
  }
  // The default action: the signal ends the process, as it would have (a fault cannot be
  // ignored).
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGBUS, &fallback, nullptr);
  raise(sig);
}

void InstallGuard() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction ours {};
    ours.sa_sigaction = OnBus;
    // Not deferred: the jump back leaves the handler without restoring the signal mask, so the
    // signal must not be blocked while the handler runs.
    ours.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&ours.sa_mask);
    sigaction(SIGBUS, &ours, &g_previous);
  });
}

}  // namespace

bool MappedFile::Map(int fd, uint64_t length) {
  Unmap();
  if (length == 0 || length > SIZE_MAX) return false;
  InstallGuard();
  void* p = ::mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) return false;
  bytes_ = static_cast<const char*>(p);
  length_ = length;
  return true;
}

void MappedFile::Unmap() {
  if (bytes_) ::munmap(const_cast<char*>(bytes_), static_cast<size_t>(length_));
  bytes_ = nullptr;
  length_ = 0;
}

bool MappedFile::CopyOut(uint64_t offset, size_t size, char* out) const {
  if (!bytes_ || offset > length_ || size > length_ - offset) return false;
  sigjmp_buf guard;
  if (sigsetjmp(guard, 0) != 0) return false;  // the file was cut short under the copy
  t_guard = &guard;
  // The fences keep the compiler from moving the copy out of the guarded stretch.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(out, bytes_ + offset, size);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  t_guard = nullptr;
  return true;
}

}  // namespace cinevo::platform
