#pragma once
// The launcher's small window icon: a 16 x 16 box with an arrow into it,
// drawn once (no image file travels with the program).

#include <QIcon>

namespace velrix::launcher {

inline constexpr int kSmallIconSize = 16;

QIcon LauncherIcon();

}  // namespace velrix::launcher
