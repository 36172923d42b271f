#pragma once

#include <QIcon>
#include <QPixmap>

namespace snipwave {

// The program's icon: a waveform cut by a pair of marks, drawn at run time so
// that it scales cleanly. The application's window icon when one is set.
QIcon ProgramIcon();
// The icon at `size` x `size` pixels (the about box shows it at 32).
QPixmap ProgramIconPixmap(int size);

}  // namespace snipwave
