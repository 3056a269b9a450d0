#include "ui/webaddress.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

void openWebAddress(QWidget *parent, const QUrl &url, const std::function<bool(const QUrl &)> &open)
{
    if (open ? open(url) : QDesktopServices::openUrl(url))
        return;
    QMessageBox box(QMessageBox::Information, QApplication::translate("WebAddress", "No Web Browser"),
                    QApplication::translate("WebAddress", "No web browser could be started. Open this address "
                                                          "in one yourself:"),
                    QMessageBox::Close, parent);
    box.setObjectName(QStringLiteral("webAddressBox"));
    box.setInformativeText(url.toString());
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton *copy = box.addButton(QApplication::translate("WebAddress", "&Copy Address"), QMessageBox::ActionRole);
    // Copying must not close the box: the user may want to read it again.
    copy->disconnect();
    QObject::connect(copy, &QPushButton::clicked, &box, [url, copy] {
        QApplication::clipboard()->setText(url.toString());
        copy->setText(QApplication::translate("WebAddress", "Copied"));
    });
    box.exec();
}
