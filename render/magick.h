#pragma once
// Magick++ for the project: <cassert> first, because ImageMagick 6 includes
// <assert.h> inside its own namespace when C++ includes it first, after
// which assert() no longer compiles elsewhere in the translation unit.

// clang-format off
#include <cassert>
#include <Magick++.h>
// clang-format on
