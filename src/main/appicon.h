#pragma once

#include <QIcon>

// The viewer's window icon, drawn in code at the usual sizes: the same picture as kestrin.svg,
// which the menu entry uses, without needing Qt's SVG support at run time.
QIcon makeAppIcon();
