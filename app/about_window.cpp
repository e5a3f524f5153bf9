#include "app/about_window.h"

#include "runtime/ui/desktop_link.h"
#include "runtime/ui/window_definition.h"

namespace cinevo::app {

using namespace cinevo::controls;

namespace lv = classlib::level;

void RegisterAboutWindow() {
  WindowDefinition d;
  d.resource = "filmo$FILMO006";
  d.label = "P1$WINDOW";
  d.caption = "Info";
  d.icon = "Croat.ico";
  d.font = "MS Sans Serif";
  d.width = 200;
  d.height = 112;
  // Every control has its place: the picture fills the window and the texts lie on its light
  // upper part. The E-mail button keeps number 3 whatever comes after it.
  d.controls = {
      Image("~About.bmp").At(0, 0, 200, 112),
      String("Cinevo +  v1.01").At(10, 8, 120, 10),
      Button("E-mail").Icon("Mail.ico").At(142, 88, 50, 16),
      String("Written by the Cinevo + developers").At(10, 22, 150, 10),
      String(kAuthorAddress).At(10, 32, 150, 10),
      String("VIII.1998").Font("Small Fonts").At(10, 46, 60, 8),
  };
  RegisterWindowDefinition(std::move(d));
}

AboutManager::AboutManager() : WindowManager(managed) {}

int AboutManager::Init() {
  int rc = WindowManager::Init();
  if (rc != lv::kContinue) return rc;
  firstField = about_control::kBackground;
  if (!win.Open("filmo$FILMO006", "P1$WINDOW")) return lv::kStop;
  opened = true;
  SetAlerts();
  return lv::kContinue;
}

int AboutManager::TakeAccepted() {
  if (managed.Field() == about_control::kMail) {
    // Without a mail program the desktop refuses the link; the button then simply does nothing.
    OpenDesktopLink(std::string("mailto:") + kAuthorAddress);
  }
  return WindowManager::TakeAccepted();
}

void RunAboutWindow() {
  RegisterAboutWindow();
  AboutManager manager;
  manager.Run();
}

}  // namespace cinevo::app
