#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

/// The banner ImageTop: the product name over a radio motif, drawn for the
/// given size so it stays sharp at any window size; its subtitle follows the
/// language.
QPixmap DrawBanner(const QSize& size, bool english);

/// Picture1: a drawing of the terminal with its antenna and terminal blocks.
QPixmap DrawTerminalPicture(const QSize& size);

/// The program's icon (window and desktop entry).
QIcon ApplicationIcon();
