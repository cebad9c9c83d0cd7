// Resources linked into the app test executable.
#pragma once

#define IDP_TEST_PATTERN 101  // 4 x 3 RGBA: red 40 * x, green 60 * y, blue 200, opaque
#define IDP_TEST_MISSING 199  // no such resource
