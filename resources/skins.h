// The embedded skins: one resource set per deliverable, made by the skin painter.
#pragma once

#include "gui/resources.h"

namespace qx::skins {

const gui::ResourceSet& eraslip();
const gui::ResourceSet& palisor();

}  // namespace qx::skins
