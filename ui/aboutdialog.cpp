#include "ui/aboutdialog.h"
#include "ui/windowsize.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

const char productName[] = "Quillmark Glanceway";
const char productVersion[] = "1.0.3";
const char legalNotice[] = "© 2026 Quillmark. All rights reserved.";

// One pass over all nine arguments: a "%2" inside a translated text stays text.
const char htmlTemplate[] =
    "<h2>%1</h2>"
    "<p>%2</p>"
    "<p>%3<br>%4</p>"
    "<p><a href='%5'>www.quillmark.net</a><br>%6</p>"
    "<p>%7</p>"
    "<hr>"
    "<h3>%8</h3>"
    "<p>%9</p>";

QString version()
{
    const QString configured = QCoreApplication::applicationVersion();
    return configured.isEmpty() ? QString::fromLatin1(productVersion) : configured;
}

// The system this executable was compiled for, which is what a bug report
// needs, rather than the one it happens to run on.
const char *targetSystem()
{
#if defined(Q_OS_WIN)
    return "Windows";
#elif defined(Q_OS_MACOS)
    return "macOS";
#elif defined(Q_OS_LINUX)
    return "Linux";
#elif defined(Q_OS_FREEBSD)
    return "FreeBSD";
#else
    return "Unix";
#endif
}

} // namespace

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("About %1").arg(QLatin1String(productName)));

    auto *iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    iconLabel->setAlignment(Qt::AlignHCenter);

    auto *text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("aboutBrowser"));
    text->setOpenExternalLinks(true);
    text->setHtml(aboutHtml());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *aboutQtButton = buttons->addButton(tr("About Qt…"), QDialogButtonBox::HelpRole);
    aboutQtButton->setObjectName(QStringLiteral("aboutQtButton"));
    connect(aboutQtButton, &QPushButton::clicked, this, [this] { QMessageBox::aboutQt(this, QString()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &AboutDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(iconLabel);
    layout->addWidget(text, 1);
    layout->addWidget(buttons);

    resizeWithinScreen(this, QSize(550, 510));
}

QUrl AboutDialog::websiteUrl()
{
    return QUrl(QStringLiteral("https://www.quillmark.net"));
}

QString AboutDialog::buildPlatform()
{
    return tr("%1 (%2-bit)").arg(QLatin1String(targetSystem())).arg(QT_POINTER_SIZE * 8);
}

QString AboutDialog::aboutHtml()
{
    // Empty in English; a translation may put a line above the legal notice.
    const QString noticeLead = tr("");
    return QString::fromLatin1(htmlTemplate)
        .arg(QString::fromLatin1(productName).toHtmlEscaped(),
             tr("Version %1 · %2 · Public test").arg(version(), buildPlatform()).toHtmlEscaped(),
             noticeLead.toHtmlEscaped(),
             QString::fromUtf8(legalNotice).toHtmlEscaped(),
             websiteUrl().toString(QUrl::FullyEncoded),
             tr("Support and contact via our website.").toHtmlEscaped(),
             tr("A lightweight photo viewer with ratings and RAW previews.").toHtmlEscaped(),
             tr("Libraries and licenses").toHtmlEscaped(),
             tr("Uses Qt %1. Qt is available under the GNU LGPL version 3 and other licenses. "
                "See About Qt and the license information supplied with the application.")
                 .arg(QString::fromLatin1(qVersion()))
                 .toHtmlEscaped());
}
