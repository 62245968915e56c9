// The fixed pens and brushes of the editing views: the stock black and white
// tools, and the shared tools the application makes once at start-up.
#pragma once

#include "scene/draw_surface.h"

namespace brevoxa::draw_tools {

// Pen styles of IViewTran::SelectDrawMode.
inline constexpr int kStyleBlack = 1;
inline constexpr int kStyleGrey = 2;
inline constexpr int kStyleWhite = 3;
inline constexpr int kStyleDashedGrey = 4;
inline constexpr int kStyleSelected = 5;  // red pen and brush
inline constexpr int kStyleOlive = 6;

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kGrey{128, 128, 128};
inline constexpr Rgb kRed{255, 50, 50};
inline constexpr Rgb kOlive{128, 128, 0};

inline constexpr Pen kBlackPen{Pen::solid, kBlack, 1};
inline constexpr Pen kWhitePen{Pen::solid, kWhite, 1};
inline constexpr Pen kGreyPen{Pen::solid, kGrey, 1};
inline constexpr Pen kDashedGreyPen{Pen::dashed, kGrey, 1};
inline constexpr Pen kRedPen{Pen::solid, kRed, 1};
inline constexpr Pen kOlivePen{Pen::solid, kOlive, 1};

inline constexpr Brush kBlackBrush{Brush::solid, kBlack};
inline constexpr Brush kWhiteBrush{Brush::solid, kWhite};
inline constexpr Brush kRedBrush{Brush::solid, kRed};
inline constexpr Brush kHollowBrush{Brush::hollow, kBlack};

}  // namespace brevoxa::draw_tools
