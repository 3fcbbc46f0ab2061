#include "app/RTDesktopGlue.h"

#include "timelines/RTPopupDelegate.h"
#include "timelines/RTStatusBarMenuManager.h"
#include "ui/RTMainWindow.h"
#include "ui/RTWindowLayer.h"
#include "ui/compose/RTComposeLineWidget.h"
#include "ui/compose/RTComposer.h"

void RTTalvoDesktopApplication::addStatusItem()
{
    RTStatusBarMenuManager::sharedManager().addStatusItem();
}

QWidget *RTComposeBridge::createComposeLine(QWidget *parent)
{
    return RTComposer::shared().createComposeLine(parent);
}

void RTComposeBridge::focusComposeLine(bool directMessage)
{
    RTComposer::shared().focusComposeLine(directMessage);
}

void RTComposeBridge::showComposeWindow(const QString &url)
{
    RTComposer::shared().showComposeWindow(url);
}

void RTComposeBridge::closeAllComposeWindows()
{
    RTComposer::shared().closeAllComposeWindows();
}

void RTComposeBridge::startMessage(Kind kind, const RTMessagePtr &message)
{
    RTComposer::Kind composerKind = RTComposer::Kind::Reply;
    switch (kind) {
    case Kind::Reply:
        composerKind = RTComposer::Kind::Reply;
        break;
    case Kind::ReplyAll:
        composerKind = RTComposer::Kind::ReplyAll;
        break;
    case Kind::Quote:
        composerKind = RTComposer::Kind::Quote;
        break;
    case Kind::DirectMessage:
        composerKind = RTComposer::Kind::DirectMessage;
        break;
    }
    RTComposer::shared().startMessage(composerKind, message);
}

void connectPopupAnswersToWindows(RTPopupDelegate &popups, RTWindowLayer &windows)
{
    QObject::connect(&popups, &RTPopupDelegate::showTreeNodeRequested, &windows,
                     [&windows](RTTreeNode *node, const QString &messageId) {
                         if (RTMainWindow *window = windows.mainWindow(); window && node)
                             window->showMessage(node, messageId);
                     });
    QObject::connect(&popups, &RTPopupDelegate::replyRequested, &windows,
                     [](const RTMessagePtr &message) {
                         RTComposer::shared().startMessage(RTComposer::Kind::Reply, message);
                     });
}
