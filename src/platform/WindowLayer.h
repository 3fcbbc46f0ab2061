#pragma once

#include "platform/PlatformInterface.h"

#include <QString>
#include <QVariantMap>

// What the rest of the program asks of the windows. What they show and how they look is
// the window layer's own business.
class WindowLayer : public PlatformInterface<WindowLayer>
{
public:
    virtual void loadDefaultMainWindow() = 0;
    virtual void showCurrentMainWindow() = 0;
    virtual void refreshCursorAreas() = 0;
    virtual void showServiceAddition() = 0;
    virtual void showDirectInputWindowForUrl(const QString &url) = 0;
    virtual void closeAllDirectInputWindows() = 0;
    // The compose line of the current window, for a post or a direct message.
    virtual void showDirectInputLine(bool directMessage) = 0;
    // The outline's reload actions: every account, or the selected source only.
    virtual void reloadAllServices() = 0;
    virtual void reloadCurrentSource() = 0;
    // Modal alerts shown as sheets on the main window. onEnd runs when the alert closes.
    virtual void showAlert(const QString &message, const QStringList &buttons,
                           std::function<void(int button)> onEnd) = 0;
};
