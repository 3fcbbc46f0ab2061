#pragma once

#include "platform/DirectInputWindows.h"

#include <QPointer>

class QWidget;
class RTComposeWindow;

// The helper's floating compose window: the compose window of the main application, shown
// for the account the helper picked, centred on the screen, and posting through the same
// account code. One window at a time; a second request raises it and adds its link.
class THComposeWindows : public DirectInputWindows
{
public:
    bool showDirectInputWindowForService(const QString &serviceId, int serviceType,
                                         const QString &url) override;
    void closeAllDirectInputWindows() override;
    // The open compose window, or null.
    [[nodiscard]] QWidget *window() const;

private:
    QPointer<RTComposeWindow> m_window;
};
