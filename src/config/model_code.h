// The board-model codes and their place in the catalogue.
#pragma once

#include <array>
#include <climits>
#include <string_view>

namespace ventrel {

// A board-model code: 200, 300 or 301 are models; kNoModel means none.
using ModelCode = int;

inline constexpr ModelCode kNoModel = -1;
// Stands for a code that was given but is no 32-bit number: never a model, and never kNoModel.
inline constexpr ModelCode kImproperCode = INT_MIN;

// The 3D boards share one TYPE and are told apart by TYPE_SUB.
inline constexpr ModelCode k2dBoard = 200;
inline constexpr ModelCode k3dBoard = 300;
inline constexpr ModelCode k3dBoardV2 = 301;

struct ModelInfo {
  ModelCode code;
  std::string_view catalogue_section;
};

// The models in display order.
inline constexpr std::array<ModelInfo, 3> kModels = {{
    {k2dBoard, "VentrelV1"},
    {k3dBoard, "Ventrel3DV1"},
    {k3dBoardV2, "Ventrel3DV2"},
}};

inline constexpr bool IsModel(ModelCode code) {
  return code == k2dBoard || code == k3dBoard || code == k3dBoardV2;
}

inline constexpr bool Is3dModel(ModelCode code) {
  return code == k3dBoard || code == k3dBoardV2;
}

}  // namespace ventrel
