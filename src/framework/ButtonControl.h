// A push button of a dialog template, bound by id (SubclassDlgItem). A click reaches the
// parent as the usual WM_COMMAND with BN_CLICKED; an owner-drawn button (BS_OWNERDRAW) draws
// itself in DrawItem, which the parent reflects to it.
#pragma once

#include "framework/Window.h"

namespace ombrix {

class ButtonControl : public Window {};

}  // namespace ombrix
