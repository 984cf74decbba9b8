// 材料清单…: the material list of the current blocks, per block its count, stacks of 64 and what
// remains, and shulker boxes of 27 stacks where it takes one or more, with a button that saves it
// as CSV.
#pragma once

#include "app/AppState.h"
#include "palette/Materials.h"
#include "platform/WindowServices.h"

namespace tesselbox {

// The list as the dialog shows it, most used first.
platform::MaterialsList MaterialListOf(const BillOfMaterials& bill);

// The menu item.
void ShowMaterialList(AppState& state);

}  // namespace tesselbox
