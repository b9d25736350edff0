// SPDX-License-Identifier: GPL-3.0-or-later
#include "actions/pointer_action.h"

namespace sonlet {

namespace {

struct NamedAction {
  PointerAction action;
  std::string_view name;
};

constexpr NamedAction kNames[] = {
    {PointerAction::kLeft, "left"},     {PointerAction::kRight, "right"},
    {PointerAction::kMiddle, "middle"}, {PointerAction::kDouble, "double"},
    {PointerAction::kDrag, "drag"},     {PointerAction::kScroll, "scroll"},
};

}  // namespace

std::string_view ActionName(PointerAction action) {
  for (const NamedAction& named : kNames) {
    if (named.action == action) return named.name;
  }
  return "left";
}

std::optional<PointerAction> ActionNamed(std::string_view name) {
  for (const NamedAction& named : kNames) {
    if (named.name == name) return named.action;
  }
  return std::nullopt;
}

}  // namespace sonlet
