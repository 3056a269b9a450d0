#pragma once

#include <QCoreApplication>

// The texts the window's controllers show keep the window's translation
// context: the catalogues hold them under "MainWindow", where translators
// have found them since before the window was cut into features.
class WindowTexts
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)
};
