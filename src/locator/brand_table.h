// The brands this executable serves, in the order the locator tries them.
#pragma once

#include <array>
#include <string_view>

namespace ventrel {

// Brand and layout in one integer: row = value / 2 + 1; odd means installed, even means local.
using InstallLayout = int;

struct Brand {
  std::string_view brand_folder;
  std::string_view product_folder;
  std::string_view manufacturer;
  InstallLayout installed;
  InstallLayout local;
};

inline constexpr std::array<Brand, 3> BrandTable = {{
    {"Dremont", "Zorvik - LAN PANORAMIC", "Dremont", 1, 0},
    {"Marvello", "Unnamed Marvello product", "Marvello", 3, 2},
    {"Celdrin Imaging", "Panoramic Quarvis 3D", "Celdrin Imaging", 5, 4},
}};

inline constexpr bool IsInstalledLayout(InstallLayout layout) {
  return layout % 2 == 1;
}

inline constexpr const Brand& BrandOf(InstallLayout layout) {
  return BrandTable[layout / 2];
}

}  // namespace ventrel
