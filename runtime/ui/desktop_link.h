// Handing a link to the desktop.
//
// OpenDesktopLink gives a link ("mailto:someone@example.org", "https://...", a file URL) to the
// desktop, which opens it with the program the user chose for it (through xdg-open). It returns
// whether the desktop accepted the link; callers that only offer a convenience (the About
// window's mail button) ignore a failure. Nothing is opened without a running GUI application.
//
// This header is free of Qt. Tests replace the desktop with SetDesktopLinkOpener.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace cinevo {

bool OpenDesktopLink(std::string_view link);

// Replaces what opens links; an empty function restores the desktop. Returns the one replaced.
using DesktopLinkOpener = std::function<bool(const std::string& link)>;
DesktopLinkOpener SetDesktopLinkOpener(DesktopLinkOpener opener);

}  // namespace cinevo
