// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

namespace sonlet {

// What the next voice click does. kLeft is the engine's own click (the left button, or ENTER
// where the user chose it): the one in force unless the user chooses another.
enum class PointerAction { kLeft, kRight, kMiddle, kDouble, kDrag, kScroll };

// The names other programs and the command line use: "left", "right", "middle", "double",
// "drag", "scroll".
std::string_view ActionName(PointerAction action);
std::optional<PointerAction> ActionNamed(std::string_view name);

}  // namespace sonlet
