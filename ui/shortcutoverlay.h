#pragma once

#include <QList>
#include <QString>

class QAction;

// The HTML of the keyboard-shortcut overview: every action that has a key,
// sorted by its text with locale-aware comparison, in two column pairs (the
// first half of the list down the left, the rest down the right).
// `toggleAction` is listed as "Show / hide this overview" whatever its text.
QString shortcutOverlayHtml(const QList<QAction *> &actions, const QAction *toggleAction);
