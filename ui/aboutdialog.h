#pragma once

#include <QDialog>
#include <QUrl>

// Name, version, maker and licence note of the program, with the toolkit's
// own about box one button away.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    // The dialog's rich text; every displayed argument is HTML-escaped, and the
    // toolkit version is the one the program runs with, not the one it was
    // built against.
    static QString aboutHtml();
    // The system and word size the program was built for, "Windows (64-bit)".
    static QString buildPlatform();
    // The maker's web site, the target of the dialog's link.
    static QUrl websiteUrl();
};
