#include "ui/helpdialog.h"

#include "ui/webaddress.h"
#include "ui/windowsize.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

const char productName[] = "Quillmark Glanceway";
// The language of the program's own texts and of the pages at qrc:/help/.
const char sourceLanguage[] = "en";

} // namespace

HelpDialog::HelpDialog(QWidget *parent)
    : HelpDialog(defaultStartPage(), parent)
{
}

HelpDialog::HelpDialog(const QUrl &start, QWidget *parent)
    : QDialog(parent)
    , startPage(start)
{
    setWindowTitle(tr("%1 Help").arg(QLatin1String(productName)));

    backButton = new QPushButton(tr("Back"), this);
    backButton->setObjectName(QStringLiteral("backButton"));
    forwardButton = new QPushButton(tr("Forward"), this);
    forwardButton->setObjectName(QStringLiteral("forwardButton"));
    contentsButton = new QPushButton(tr("Contents"), this);
    contentsButton->setObjectName(QStringLiteral("contentsButton"));
    findEdit = new QLineEdit(this);
    findEdit->setObjectName(QStringLiteral("findEdit"));
    findEdit->setPlaceholderText(tr("Find on this page…"));
    findEdit->setAccessibleName(tr("Find on this page"));
    findButton = new QPushButton(tr("Find"), this);
    findButton->setObjectName(QStringLiteral("findButton"));
    backButton->setEnabled(false);
    forwardButton->setEnabled(false);

    auto *toolRow = new QHBoxLayout;
    toolRow->addWidget(backButton);
    toolRow->addWidget(forwardButton);
    toolRow->addWidget(contentsButton);
    toolRow->addWidget(findEdit, 1);
    toolRow->addWidget(findButton);

    helpBrowser = new QTextBrowser(this);
    helpBrowser->setObjectName(QStringLiteral("offlineHelpBrowser"));
    helpBrowser->setOpenExternalLinks(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *onlineButton = buttons->addButton(tr("Help on the Web…"), QDialogButtonBox::ActionRole);
    onlineButton->setObjectName(QStringLiteral("onlineHelpButton"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(toolRow);
    layout->addWidget(helpBrowser, 1);
    layout->addWidget(buttons);

    // Return in the find field must only search: with a default button it
    // would also press that button (and could close the dialog).
    const QList<QPushButton *> pushButtons = findChildren<QPushButton *>();
    for (QPushButton *button : pushButtons)
        button->setAutoDefault(false);

    connect(backButton, &QPushButton::clicked, helpBrowser, &QTextBrowser::backward);
    connect(forwardButton, &QPushButton::clicked, helpBrowser, &QTextBrowser::forward);
    connect(helpBrowser, &QTextBrowser::backwardAvailable, backButton, &QPushButton::setEnabled);
    connect(helpBrowser, &QTextBrowser::forwardAvailable, forwardButton, &QPushButton::setEnabled);
    connect(contentsButton, &QPushButton::clicked, this, &HelpDialog::showContents);
    connect(findButton, &QPushButton::clicked, this, &HelpDialog::findNext);
    connect(findEdit, &QLineEdit::returnPressed, this, &HelpDialog::findNext);
    connect(onlineButton, &QPushButton::clicked, this, [this] { openWebAddress(this, onlineHelpUrl()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &HelpDialog::reject);

    auto *findShortcut = new QShortcut(QKeySequence::Find, this);
    findShortcut->setContext(Qt::WindowShortcut);
    connect(findShortcut, &QShortcut::activated, this, &HelpDialog::focusFindField);

    helpBrowser->setSource(startPage);

    resizeWithinScreen(this, QSize(900, 720));
}

QUrl HelpDialog::defaultStartPage()
{
    const QString language = pageLanguage();
    return QUrl(language == QLatin1String(sourceLanguage) ? QStringLiteral("qrc:/help/index.html")
                                                          : QStringLiteral("qrc:/help/%1/index.html").arg(language));
}

QString HelpDialog::pageLanguage()
{
    // The interface speaks the language of whichever catalogue was installed at
    // start; the catalogue names that language here. Without a catalogue, or
    // with one that leaves this message alone, the source text answers.
    //: The language code of this translation, for example "de". The help shows
    //: its pages in this language when the program has them.
    const QString language = tr("en");
    static const QRegularExpression languageCode(QStringLiteral("^[a-z]{2,3}(_[A-Z]{2})?$"));
    if (language != QLatin1String(sourceLanguage) && languageCode.match(language).hasMatch()
        && QFile::exists(QStringLiteral(":/help/%1/index.html").arg(language)))
        return language;
    return QString::fromLatin1(sourceLanguage);
}

QUrl HelpDialog::onlineHelpUrl()
{
    // The web site names each language's page in that language.
    return QUrl(pageLanguage() == QLatin1String("de") ? QStringLiteral("https://www.quillmark.net/glanceway/hilfe.html")
                                                      : QStringLiteral("https://www.quillmark.net/glanceway/help.html"));
}

void HelpDialog::findNext()
{
    const QString text = findEdit->text();
    if (text.isEmpty())
        return;
    if (helpBrowser->find(text))
        return;
    helpBrowser->moveCursor(QTextCursor::Start);
    helpBrowser->find(text);
}

void HelpDialog::focusFindField()
{
    findEdit->setFocus(Qt::ShortcutFocusReason);
    findEdit->selectAll();
}

void HelpDialog::showContents()
{
    helpBrowser->setSource(startPage);
}
