// 材料清单…: the material list of the current blocks, per block its count, stacks of 64 and what
// remains, and shulker boxes of 27 stacks where it takes one or more, with a button that saves it
// as CSV. Map art's counts are those of the files 生成 writes.
#pragma once

#include "app/AppState.h"
#include "palette/Materials.h"
#include "platform/WindowServices.h"

namespace tesselbox {

// The list as the dialog shows it, most used first.
platform::MaterialsList MaterialListOf(const BillOfMaterials& bill);

// Map art's list: the art's blocks, then under their own heading the support and reference blocks.
platform::MaterialsList MapMaterialListOf(const BillOfMaterials& art, const BillOfMaterials& support);

// The menu item; while map art is shown, its list.
void ShowMaterialList(AppState& state);

}  // namespace tesselbox
