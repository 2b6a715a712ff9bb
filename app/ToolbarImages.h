// The toolbar and menu pictures of the main window, drawn at run time.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace quillet {

// 0 new, 1 open, 2 save, 3 cut, 4 copy, 5 paste, 6 clear, 7 style tag, 8 colour, 9 undo,
// 10 redo, 11 shift left, 12 shift right. Any other index gives an empty icon.
QIcon ToolbarImage(int index);
constexpr int ToolbarImageCount = 13;
// The program's 32 x 32 logo.
QPixmap LogoPicture();

} // namespace quillet
