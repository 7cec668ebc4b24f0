#pragma once
// The 70 x 36 logo at the top right of the view.

#include <QImage>

namespace velrix {

inline constexpr int kLogoWidth = 70;
inline constexpr int kLogoHeight = 36;

// Drawn once on first use and kept for the life of the program.
const QImage& VelrixLogo();

}  // namespace velrix
