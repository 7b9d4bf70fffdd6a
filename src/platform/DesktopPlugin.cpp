#include "platform/DesktopPlugin.h"

#include "common/Log.h"
#include "platform/MissingDesktopAdapters.h"

#include <QCoreApplication>
#include <QLibrary>

namespace DesktopPlugin {

namespace {

const QString fileName = QStringLiteral("netlatch-linux-desktop.so");
const QString notLoadedLog = QStringLiteral("⚠️ 无法加载桌面插件，密钥环、通知、WiFi和系统事件不可用: ");

using Factory = DesktopAdapters *(*)();

DesktopAdapters *load()
{
    QStringList problems;
    for (const QString &folder : {QCoreApplication::applicationDirPath(), QStringLiteral(NETLATCH_PLUGIN_DIR)}) {
        QLibrary library(folder + u'/' + fileName);
        // The adapters live as long as the process: the plugin is never unloaded.
        library.setLoadHints(QLibrary::PreventUnloadHint);
        if (const auto factory = reinterpret_cast<Factory>(library.resolve("netlatch_desktop_adapters")))
            return factory();
        problems << library.errorString();
    }
    const QString problem = problems.join(QStringLiteral("; "));
    Log::write(notLoadedLog + problem);
    return new MissingDesktopAdapters(problem);
}

} // namespace

DesktopAdapters &adapters()
{
    static DesktopAdapters *const instance = load();
    return *instance;
}

} // namespace DesktopPlugin
