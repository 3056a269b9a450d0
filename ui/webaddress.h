#pragma once

#include <QUrl>

#include <functional>

class QWidget;

// Opens `url` in the user's browser. Where no browser starts (none installed,
// a locked-down desktop), says so and shows the address to copy instead of
// doing nothing. `open` stands in for the system's call in tests.
void openWebAddress(QWidget *parent, const QUrl &url,
                    const std::function<bool(const QUrl &)> &open = {});
