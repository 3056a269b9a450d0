#include "imaging/damagereport.h"

#include <QtGlobal>

#include <cstring>

namespace {

thread_local bool damaged = false;
QtMessageHandler previousHandler = nullptr;

void watchDecoderWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && context.category && std::strcmp(context.category, "qt.gui.imageio.jpeg") == 0)
        damaged = true;
    // The toolkit hands back its default handler when none was set.
    previousHandler(type, context, message);
}

} // namespace

void resetDamageReport()
{
    // Installed on first use, after whatever handler the program or a test
    // set up, which it passes every message on to.
    static const bool installed = [] {
        previousHandler = qInstallMessageHandler(watchDecoderWarnings);
        return true;
    }();
    Q_UNUSED(installed);
    damaged = false;
}

bool damageReported()
{
    return damaged;
}

void reportDamage()
{
    damaged = true;
}
