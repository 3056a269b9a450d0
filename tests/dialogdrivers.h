#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Drivers for the modal dialogs a window test meets. Both react to the
// dialog's show event, so no test ever waits on the clock.

// Answers every message box shown while it lives, recording what it said.
// Reacts to the box's show event, so no test ever waits on the clock.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : answer(answer)
    {
        qApp->installEventFilter(this);
    }
    ~BoxAnswerer() override { qApp->removeEventFilter(this); }

    struct Seen
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    QList<Seen> seen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        // A later box may reuse an earlier one's address: mark the box itself.
        if (box && event->type() == QEvent::Show && !box->property("answered").toBool()) {
            box->setProperty("answered", true);
            seen.append({box->windowTitle(), box->text(), box->icon()});
            const QMessageBox::StandardButton button =
                box->button(answer) ? answer : (box->button(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Cancel);
            QPointer<QMessageBox> guarded(box);
            QTimer::singleShot(0, box, [guarded, button] {
                if (guarded)
                    guarded->button(button)->click();
            });
        }
        return false;
    }

private:
    QMessageBox::StandardButton answer;
};

// Runs `onShow` on the first dialog of type T that is shown.
template<typename T>
class DialogDriver : public QObject
{
public:
    explicit DialogDriver(std::function<void(T *)> onShow)
        : onShow(std::move(onShow))
    {
        qApp->installEventFilter(this);
    }
    ~DialogDriver() override { qApp->removeEventFilter(this); }
    bool ran = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (auto *dialog = qobject_cast<T *>(watched); dialog && event->type() == QEvent::Show && !ran) {
            ran = true;
            QPointer<T> guarded(dialog);
            QTimer::singleShot(0, dialog, [this, guarded] {
                if (guarded)
                    onShow(guarded);
            });
        }
        return false;
    }

private:
    std::function<void(T *)> onShow;
};
