#include "helper/main/THComposeWindows.h"

#include "accounts/RTServiceProtocols.h"
#include "accounts/RTServiceRegistry.h"
#include "sharing/RTDirectInputLineViewController.h"
#include "ui/compose/RTComposeLineWidget.h"
#include "ui/compose/RTComposeWindow.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>

Q_LOGGING_CATEGORY(lcHelperWindows, "talvo.helper.windows")

namespace {
RTServicePtr composingAccount(const QString &serviceId, int serviceType)
{
    for (const RTServicePtr &s : RTServiceRegistry::shared().services()) {
        if (s->serviceId() != serviceId || s->serviceType() != serviceType || s->isDeleted())
            continue;
        if (!dynamic_cast<RTMessageSendingProtocol *>(s.get()))
            return nullptr;
        return s;
    }
    return nullptr;
}
} // namespace

bool THComposeWindows::showDirectInputWindowForService(const QString &serviceId, int serviceType,
                                                       const QString &url)
{
    const RTServicePtr account = composingAccount(serviceId, serviceType);
    if (!account)
        return false;
    // An account made for other hosts never posts to these.
    if (const QString refusal = account->hostProfileRefusal(); !refusal.isEmpty()) {
        qCWarning(lcHelperWindows).noquote() << refusal;
        return false;
    }
    const bool opening = !m_window;
    RTComposeWindow *window = RTComposeWindow::showDirectInputWindowForUrl(QString());
    m_window = window;
    RTComposeLineWidget *box = window->composeBox();
    // A draft kept from before stays with the account it was written for.
    const RTDirectInputLineViewController *line = box->controller();
    if (!line || line->text().trimmed().isEmpty())
        box->selectAccount(account);
    if (!box->controller()) {
        window->close();
        return false;
    }
    window->takeUrl(url);
    if (opening) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
    }
    box->focusTextBox();
    return true;
}

void THComposeWindows::closeAllDirectInputWindows()
{
    RTComposeWindow::closeAllDirectInputWindows();
}

QWidget *THComposeWindows::window() const
{
    return m_window;
}
