#pragma once

#include "model/RTMessage.h"
#include "platform/PlatformInterface.h"

#include <QString>

class QWidget;

// What the window asks of composing: the compose line under the message list, the
// compose window, and starting a reply, quote or direct message. Installed by the
// compose layer; until one is installed the window's compose actions stay disabled.
class RTComposeProvider : public PlatformInterface<RTComposeProvider>
{
public:
    enum class Kind
    {
        Reply,
        ReplyAll,
        Quote,
        DirectMessage,
    };

    // The compose line for the main window; owned by parent.
    [[nodiscard]] virtual QWidget *createComposeLine(QWidget *parent) = 0;
    virtual void focusComposeLine(bool directMessage) = 0;
    virtual void showComposeWindow(const QString &url) = 0;
    virtual void closeAllComposeWindows() = 0;
    virtual void startMessage(Kind kind, const RTMessagePtr &message) = 0;
};
