#include "platform/linux/LinuxHotKeys.h"

#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "platform/linux/PortalHotKeyService.h"
#include "platform/linux/XcbHotKeyService.h"

#include <QGuiApplication>

namespace {
class UnavailableHotKeyService : public HotKeyService
{
public:
    explicit UnavailableHotKeyService(QString problem)
        : m_problem(std::move(problem))
    {
    }
    Handle registerHotKey(int, quint32, quint32, quint32, std::function<void()>) override
    {
        return 0;
    }
    void unregisterHotKey(Handle) override {}
    [[nodiscard]] QString problem() const override { return m_problem; }

private:
    QString m_problem;
};
} // namespace

QString LinuxHotKeys::unavailableReason()
{
    // On Wayland an X grab only sees keys while one of our own windows has the focus, so
    // it would look registered and never fire: only the portal is honest there.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        if (PortalHotKeyService::isOffered(QDBusConnection::sessionBus()))
            return QString();
        return localizedString("##PortalHotKeyService:3##");
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return QString();
    return localizedString("##XcbHotKeyService:0##");
}

std::unique_ptr<HotKeyService> LinuxHotKeys::create()
{
    const QString reason = unavailableReason();
    if (!reason.isEmpty()) {
        qCInfo(lcPlatform).noquote() << "no global hot keys:" << reason;
        return std::make_unique<UnavailableHotKeyService>(reason);
    }
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return std::make_unique<PortalHotKeyService>();
    auto xcb = std::make_unique<XcbHotKeyService>();
    if (xcb->isUsable())
        return xcb;
    return std::make_unique<UnavailableHotKeyService>(localizedString("##XcbHotKeyService:0##"));
}
