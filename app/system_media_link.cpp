// The MediaLink of the running program: the process-wide media service.
#include <array>

#include "app/media_link.h"
#include "platform/media/media_interface.h"
#include "runtime/ui/drawn_wait.h"

namespace cinevo::app {
namespace {

class SystemMediaLink final : public MediaLink {
 public:
  int Send(std::string_view command, std::string& reply) override {
    std::array<char, kMediaReplySize> buffer{};
    std::string text(command);
    int rc = platform::SendMedia(text.c_str(), buffer.data(), buffer.size());
    reply.assign(buffer.data());
    return rc;
  }

  void Prepare(const std::vector<std::string>& paths) override { platform::PrepareMedia(paths); }
  void WarmUp() override { platform::WarmUpMedia(); }

  int PlaySound(std::string_view path) override {
    std::string file(path);
    return RunWhileDrawing([&file] { return platform::PlaySoundFile(file); });
  }
};

}  // namespace

std::unique_ptr<MediaLink> MakeSystemMediaLink() { return std::make_unique<SystemMediaLink>(); }

}  // namespace cinevo::app
