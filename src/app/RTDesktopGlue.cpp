#include "app/RTDesktopGlue.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/linux/LinuxHotKeys.h"
#include "timelines/RTPopupDelegate.h"
#include "timelines/RTStatusBarMenuManager.h"
#include "ui/RTMainWindow.h"
#include "ui/RTWindowLayer.h"
#include "ui/compose/RTComposeLineWidget.h"
#include "ui/compose/RTComposer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

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

QString helperHotKeyProblem()
{
    const SettingsStore &settings = SettingsStore::shared();
    if (settings.integerForKey(RTNewTweetGlobalShortcutKeyCodeKey) == -1 ||
        settings.unsignedIntegerForKey(RTNewTweetGlobalShortcutFlagsKey) == 0)
        return QString();
    if (const QString reason = LinuxHotKeys::unavailableReason(); !reason.isEmpty())
        return reason;
    const QString helper = QStringLiteral("org.talvo.Helper");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(helper))
        return QObject::tr("The quick-post helper is not running, so the hot key does nothing. "
                           "It starts with Talvo and at your next login.");
    QDBusMessage call = QDBusMessage::createMethodCall(helper, QStringLiteral("/org/talvo/Helper"),
                                                       helper, QStringLiteral("HotKeyStatus"));
    call.setAutoStartService(false);
    // The helper answers at once; a hung one must not freeze the preferences.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 1500);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return QObject::tr("The quick-post helper does not answer, so the hot key may not work.");
    return reply.arguments().value(0).toString();
}
