// A static control of a dialog template, bound by id (SubclassDlgItem).
#pragma once

#include "framework/Window.h"

namespace ombrix {

class StaticControl : public Window {};

}  // namespace ombrix
