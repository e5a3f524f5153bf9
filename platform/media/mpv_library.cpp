#include "platform/media/mpv_library.h"

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>


#ifndef CINEVO_MPV_SONAME
#define CINEVO_MPV_SONAME "libmpv.so.2"
#endif

namespace cinevo::platform {
namespace {

// Opens the library and finds every function; null on any failure (the handle is then closed).
const MpvApi* Load() {
  static MpvApi api;
  void* handle = dlopen(CINEVO_MPV_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) handle = dlopen("libmpv.so", RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  bool complete = true;
#define CINEVO_MPV_FIND(name)                                                       \
  api.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));            \
  complete = complete && api.name != nullptr;
  CINEVO_MPV_FUNCTIONS(CINEVO_MPV_FIND)
#undef CINEVO_MPV_FIND
  // The fallback name may lead to another major version, whose calls would not match the
  // headers this was built with: such a library is refused rather than called.
  if (!complete || api.mpv_client_api_version() >> 16 != MPV_CLIENT_API_VERSION >> 16) {
    dlclose(handle);
    return nullptr;
  }
  return &api;  // the library stays loaded for the rest of the run
}

// The helper thread of PreloadMpvLibrary, joined at exit. Ending it early (the program ends
// within the delay) is a matter of waking it.
class Preloader {
 public:
  ~Preloader() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ending_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  void Start(int delay_ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (started_) return;
    started_ = true;
    try {
      thread_ = std::thread([this, delay_ms] {
        {
          std::unique_lock<std::mutex> lock(mutex_);
          if (wake_.wait_for(lock, std::chrono::milliseconds(delay_ms), [this] { return ending_; })) return;
        }
        MpvLibrary();
      });
    } catch (const std::system_error&) {
      // No helper: the first movie loads the library itself.
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool started_ = false;
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace

const MpvApi* MpvLibrary() {
  static const MpvApi* const api = Load();  // thread-safe: later callers wait for the first
  return api;
}

const MpvApi& LoadedMpv() {
  const MpvApi* api = MpvLibrary();
  if (api == nullptr) std::abort();  // no engine exists without the library
  return *api;
}

void PreloadMpvLibrary(int delay_ms) {
  static Preloader preloader;
  preloader.Start(delay_ms);
}

}  // namespace cinevo::platform
