// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/output_choice.h"

#include <cstdlib>

#include "input/kwin_fake_input_sink.h"
#include "input/mutter_remote_desktop_sink.h"
#include "input/portal_remote_desktop_sink.h"
#include "input/queued_sink.h"
#include "input/uinput_sink.h"
#include "input/wayland_pointer_sink.h"
#include "input/x11_sink.h"

namespace sonlet {

namespace {

// XTEST events reach the X server of the session; under Wayland that is Xwayland, which shows
// them to X11 windows only.
bool OnWayland() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return wayland != nullptr && *wayland != '\0';
}

std::string WaylandWarning() {
  return "this is a Wayland session: through X11 the events reach X11 windows only, and may not "
         "move the desktop's pointer.\n"
         "--output wayland uses the compositor's own way where it offers one (sway, labwc,\n"
         "Hyprland, river, Wayfire, GNOME, KDE Plasma with Sonlet's desktop file) or the\n"
         "desktop portal (asking consent at every start), and needs no permission; else uinput\n"
         "does.\n" +
         UinputAccessAdvice();
}

std::string UinputNotice(const UinputSink& sink) {
  std::string notice = "pointer events go to the uinput device \"Sonlet\"";
  if (!sink.event_node().empty()) notice += " (" + sink.event_node() + ")";
  return notice;
}

// The compositor's own routes, in the order tried: the wlroots virtual pointer (sway, labwc,
// Hyprland, river, Wayfire), then GNOME's remote-desktop service, then KDE Plasma's fake input.
// None needs group input or consent, and the compositor applies no acceleration to them. On
// failure *why lists each route's reason.
std::unique_ptr<InputSink> OpenCompositorRoute(std::string* notice, std::string* why) {
  std::string wlroots_why;
  std::unique_ptr<WaylandPointerSink> wlroots = WaylandPointerSink::Open(&wlroots_why);
  if (wlroots != nullptr) {
    *notice = "pointer events go to the Wayland compositor " + wlroots->display_name() +
              " through its wlroots virtual pointer";
    if (!wlroots->has_keyboard()) {
      *notice += " (it offers no virtual keyboard: ENTER cannot be sent this way)";
    }
    // A compositor that stops reading would hold each event up to its limit, and the engine with
    // it: they wait on a thread of their own, which Finish can free by breaking the connection.
    WaylandPointerSink* compositor = wlroots.get();
    return std::make_unique<QueuedSink>(std::move(wlroots),
                                        [compositor] { compositor->Abandon(); });
  }
  std::string gnome_why;
  std::unique_ptr<InputSink> gnome = OpenMutterRemoteDesktop(&gnome_why);
  if (gnome != nullptr) {
    *notice = "pointer events go to GNOME's remote-desktop service (wlroots virtual pointer: " +
              wlroots_why + ")";
    return gnome;
  }
  std::string kde_why;
  std::unique_ptr<KWinFakeInputSink> kde = KWinFakeInputSink::Open(&kde_why);
  if (kde != nullptr) {
    *notice = "pointer events go to KDE Plasma's compositor " + kde->display_name() +
              " through its fake input (wlroots virtual pointer: " + wlroots_why +
              "; GNOME remote desktop: " + gnome_why + ")";
    if (!kde->has_keyboard()) {
      *notice += " (this KWin is older than 5.20: ENTER cannot be sent this way)";
    }
    KWinFakeInputSink* compositor = kde.get();
    return std::make_unique<QueuedSink>(std::move(kde), [compositor] { compositor->Abandon(); });
  }
  *why = "wlroots virtual pointer: " + wlroots_why + "; GNOME remote desktop: " + gnome_why +
         "; KDE fake input: " + kde_why;
  return nullptr;
}

// The desktop portal, the route of the remaining desktops (a KDE Plasma where Sonlet is not
// installed with its desktop file). Its dialog asks the person at every start, which someone
// without hands may not be able to answer.
std::unique_ptr<InputSink> OpenPortalRoute(const std::function<void(const std::string&)>& waiting,
                                           std::string* notice, std::string* why) {
  std::string portal_why;
  std::unique_ptr<InputSink> portal = OpenPortalRemoteDesktop(waiting, &portal_why);
  if (portal != nullptr) {
    *notice = "pointer events go to the desktop portal's remote-desktop session";
  } else {
    *why = "desktop portal: " + portal_why;
  }
  return portal;
}

}  // namespace

std::string UinputAccessAdvice() {
  return "To let Sonlet use uinput, which works on X11, on every Wayland desktop and on the "
         "console:\n"
         "  1. as root, put this udev rule in /etc/udev/rules.d/60-sonlet-uinput.rules (Sonlet's\n"
         "     installation ships it in lib/udev/rules.d):\n"
         "       KERNEL==\"uinput\", GROUP=\"input\", MODE=\"0660\", "
         "OPTIONS+=\"static_node=uinput\"\n"
         "  2. add yourself to the group input:  sudo usermod -aG input \"$USER\"\n"
         "  3. restart the computer, so that both take effect.\n"
         "Members of the group input can also read every keyboard, and so every key typed,\n"
         "passwords included: add only people who may have that.";
}

DesktopOutputChoice OpenDesktopOutput(DesktopOutput which,
                                      const std::function<void(const std::string&)>& waiting) {
  DesktopOutputChoice choice;
  std::string notice;
  // In a Wayland session the compositor's route reaches native windows with no permission to
  // grant, so auto tries it before uinput. The portal comes after uinput for auto: its dialog at
  // every start would stand between a person who has set uinput up and the pointer.
  std::string wayland_why;
  const bool wayland_first = which == DesktopOutput::kAuto && OnWayland();
  if (which == DesktopOutput::kWayland || wayland_first) {
    choice.sink = OpenCompositorRoute(&notice, &wayland_why);
    if (choice.sink == nullptr && which == DesktopOutput::kWayland) {
      std::string portal_why;
      choice.sink = OpenPortalRoute(waiting, &notice, &portal_why);
      wayland_why += "; " + portal_why;
    }
    if (choice.sink != nullptr) {
      if (which == DesktopOutput::kAuto) choice.notice = notice;
      return choice;
    }
    if (which == DesktopOutput::kWayland) {
      choice.error = "--output wayland: no Wayland route: " + wayland_why +
                     ".\nUse --output uinput, which works on every Wayland desktop.\n" +
                     UinputAccessAdvice();
      return choice;
    }
  }
  std::string uinput_why;
  if (which != DesktopOutput::kX11) {
    std::unique_ptr<UinputSink> uinput = UinputSink::Create(&uinput_why);
    if (uinput != nullptr) {
      if (which == DesktopOutput::kAuto) {
        choice.notice =
            UinputNotice(*uinput) + (wayland_why.empty() ? "" : " (Wayland: " + wayland_why + ")");
      }
      choice.sink = std::move(uinput);
      return choice;
    }
    if (which == DesktopOutput::kUinput) {
      choice.error = "--output uinput: " + uinput_why + ".\n" + UinputAccessAdvice();
      return choice;
    }
  }
  if (wayland_first) {
    std::string portal_why;
    choice.sink = OpenPortalRoute(waiting, &notice, &portal_why);
    if (choice.sink != nullptr) {
      choice.notice = notice + " (" + wayland_why + "; uinput: " + uinput_why + ")";
      return choice;
    }
    wayland_why += "; " + portal_why;
  }
  const std::string wayland_aside = wayland_why.empty() ? "" : " (Wayland: " + wayland_why + ")";

  std::string x11_why;
  std::unique_ptr<X11Sink> x11 = X11Sink::Open(nullptr, &x11_why);
  if (x11 == nullptr) {
    if (which == DesktopOutput::kX11) {
      choice.error = "--output x11: " + x11_why +
                     ".\nStart Sonlet inside an X11 session, or use --output uinput, which works "
                     "on X11 and Wayland alike.";
    } else {
      choice.error = "no way to send pointer events to the desktop.\n" +
                     (wayland_why.empty() ? "" : "  Wayland: " + wayland_why + ".\n") +
                     "  uinput: " + uinput_why + ".\n  X11: " + x11_why + ".\n" +
                     UinputAccessAdvice() +
                     "\nOn an X11 session Sonlet can use the X server instead: start it inside\n"
                     "the session, where DISPLAY is set.";
    }
    return choice;
  }
  if (which == DesktopOutput::kAuto) {
    choice.notice = "pointer events go to the X display " + x11->display_name() +
                    " through XTEST (uinput: " + uinput_why + ")" + wayland_aside;
  }
  if (OnWayland()) {
    if (!choice.notice.empty()) choice.notice += ".\n";
    choice.notice += WaylandWarning();
  }
  // A frozen X server would hold every event, and the engine with it: they wait on a thread of
  // their own, which Finish can free from the server by breaking the connection.
  X11Sink* server = x11.get();
  choice.sink = std::make_unique<QueuedSink>(std::move(x11), [server] { server->Abandon(); });
  return choice;
}

}  // namespace sonlet
