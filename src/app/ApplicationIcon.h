#pragma once

#include <QIcon>

namespace hondana {

// The program's icon: the character 本 on a book-cloth green, drawn at run time so that no
// image file has to ship.
QIcon applicationIcon();

} // namespace hondana
