#pragma once

#include "platform/linux/LinuxDesktopApplication.h"
#include "ui/RTComposeProvider.h"

class RTPopupDelegate;
class RTWindowLayer;

// The program's desktop: the Linux application facilities, with the tray icon that the
// alerts keep.
class RTTalvoDesktopApplication : public LinuxDesktopApplication
{
public:
    void addStatusItem() override;
};

// The window's compose actions served by the compose layer.
class RTComposeBridge : public RTComposeProvider
{
public:
    [[nodiscard]] QWidget *createComposeLine(QWidget *parent) override;
    void focusComposeLine(bool directMessage) override;
    void showComposeWindow(const QString &url) override;
    void closeAllComposeWindows() override;
    void startMessage(Kind kind, const RTMessagePtr &message) override;
};

// A click on a pop-up notification shows its source and message; Reply opens a reply.
void connectPopupAnswersToWindows(RTPopupDelegate &popups, RTWindowLayer &windows);

// Why the quick-post helper's new-post hot key does not work now: the desktop has no global
// hot keys, the helper is not running, or the helper could not register it. Empty when it
// works or none is set.
[[nodiscard]] QString helperHotKeyProblem();
