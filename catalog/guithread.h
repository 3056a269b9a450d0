#pragma once

#include <QCoreApplication>
#include <QMetaObject>

#include <utility>

// Runs `fn` on the GUI thread from a background task. The task must capture
// a guarded pointer to whoever handles the result, and check it inside `fn`.
template <typename Fn>
void postToGuiThread(Fn &&fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::forward<Fn>(fn), Qt::QueuedConnection);
}
