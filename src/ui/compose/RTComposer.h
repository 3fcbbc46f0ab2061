#pragma once

#include "model/RTMessage.h"

#include <QObject>
#include <QPointer>

class QWidget;
class RTComposeLineWidget;

// What the main window asks of composing: the compose line under the message list, the
// compose window, and starting a reply, quote, retweet by copy or direct message from a
// message. One per process.
class RTComposer : public QObject
{
    Q_OBJECT

public:
    enum class Kind
    {
        Reply,
        ReplyAll,
        Quote,
        Copy,
        DirectMessage,
    };

    static RTComposer &shared();

    // The compose line for a main window; owned by parent. The last one made is the one
    // the commands below act on.
    [[nodiscard]] RTComposeLineWidget *createComposeLine(QWidget *parent);
    void focusComposeLine(bool directMessage);
    void showComposeWindow(const QString &url);
    void closeAllComposeWindows();
    // Prepares the line of the message's account; false when that account cannot post.
    bool startMessage(Kind kind, const RTMessagePtr &message);

private:
    QPointer<RTComposeLineWidget> m_line;
};
