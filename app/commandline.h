#pragma once

#include <QString>
#include <QStringList>

// The one folder or photo to open from the program's command line (without the
// program name). A desktop entry hands over every selected item at once, while
// the window shows one folder: the first item that exists wins, a photo opening
// its folder at that photo. Options ("-x", "--x") are skipped up to a "--";
// "file:" URLs are taken as the local paths they name. When nothing named
// exists the first item is returned, so the window can say it cannot be
// opened; with no item at all the result is empty (the last session returns).
QString pathToOpen(const QStringList &arguments);
