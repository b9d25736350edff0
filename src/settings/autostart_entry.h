// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace sonlet {

// "Iniciar con la sesión": the desktop starts, when the user logs in, every program that has an
// entry in its autostart folder (the XDG Autostart rule, which GNOME, KDE, Xfce, LXQt and the
// others follow). Sonlet's entry starts sonlet-launch, as its menu entry does, so that the panel
// comes up in the user's own folder with the user's settings.

// $XDG_CONFIG_HOME/autostart/org.sonlet.Sonlet.desktop, XDG_CONFIG_HOME being ~/.config when it
// is not set or not an absolute path; "" when neither it nor HOME says where that is.
std::string AutostartEntryPath();

// What the entry holds.
std::string AutostartEntryText();

// Whether the entry is there: the desktop will start Sonlet with the session.
bool AutostartEntryExists();

// Writes the entry, making its folder when needed. Returns "" or, when it cannot, why; then
// *error, when given, holds why as an error number (ReplaceSettingsFile's reasons included),
// ENOENT when there is no path at all.
std::string WriteAutostartEntry(int* error = nullptr);

// Removes the entry; one that is not there is no error. Returns "" or, when it cannot, why,
// with *error as for WriteAutostartEntry.
std::string RemoveAutostartEntry(int* error = nullptr);

}  // namespace sonlet
