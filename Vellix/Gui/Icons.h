#pragma once

// The pictures of the program, drawn at run time so that no image file has to ship with it.

#include <QIcon>
#include <QPixmap>

#include "Vellix/BitmapFile.h" // BitmapKind

namespace Ostrel::Vellix::Gui {

// The seven pictures of the tree: 0 hard disk, 1 floppy, 2 compact disc, 3 closed yellow folder,
// 4 open yellow folder, 5 closed green folder (archive), 6 open green folder.
QIcon TreeIcon(int index);
// A white square bearing BMP, MIP, PBF or SRB (Other: a plain white square), size × size pixels.
QPixmap TypeIcon(BitmapKind kind, int size);
QIcon ApplicationIcon();

} // namespace Ostrel::Vellix::Gui
