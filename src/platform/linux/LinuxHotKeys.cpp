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

std::unique_ptr<HotKeyService> LinuxHotKeys::create()
{
    // On Wayland an X grab only sees keys while one of our own windows has the focus, so
    // it would look registered and never fire: only the portal is honest there.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        if (PortalHotKeyService::isOffered(QDBusConnection::sessionBus()))
            return std::make_unique<PortalHotKeyService>();
        qCInfo(lcPlatform) << "no global shortcuts portal on this Wayland desktop";
        return std::make_unique<UnavailableHotKeyService>(
            localizedString("##PortalHotKeyService:3##"));
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto xcb = std::make_unique<XcbHotKeyService>();
        if (xcb->isUsable())
            return xcb;
    }
    return std::make_unique<UnavailableHotKeyService>(localizedString("##XcbHotKeyService:0##"));
}
