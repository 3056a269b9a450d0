#pragma once

#include <QDialog>
#include <QUrl>

class QLineEdit;
class QPushButton;
class QTextBrowser;

// The offline user guide: compiled-in HTML pages with history navigation,
// find-on-page and a way out to the online help. Links to web pages open in
// the system's browser, never inside the dialog.
class HelpDialog : public QDialog
{
    Q_OBJECT
public:
    explicit HelpDialog(QWidget *parent = nullptr);
    // Starts at `startPage`, which "Contents" returns to as well.
    HelpDialog(const QUrl &startPage, QWidget *parent = nullptr);

    // The start page in the language of the interface: the pages of the
    // installed catalogue's language where the program has them ("de" at
    // qrc:/help/de/), the English pages at qrc:/help/ otherwise.
    static QUrl defaultStartPage();
    // The language whose pages defaultStartPage() leads to, "en" or "de".
    static QString pageLanguage();
    // The user guide on the maker's web site.
    static QUrl onlineHelpUrl();

    QTextBrowser *browser() const { return helpBrowser; }

public slots:
    // Selects the next match of the find field's text after the cursor,
    // starting over at the top of the page after the last match.
    void findNext();
    void focusFindField();
    void showContents();

private:
    QUrl startPage;
    QTextBrowser *helpBrowser = nullptr;
    QPushButton *backButton = nullptr;
    QPushButton *forwardButton = nullptr;
    QPushButton *contentsButton = nullptr;
    QLineEdit *findEdit = nullptr;
    QPushButton *findButton = nullptr;
};
