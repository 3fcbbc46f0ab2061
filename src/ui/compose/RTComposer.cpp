#include "ui/compose/RTComposer.h"

#include "accounts/RTServiceRegistry.h"
#include "sharing/RTTwitterDirectInputLineViewController.h"
#include "ui/compose/RTComposeLineWidget.h"
#include "ui/compose/RTComposeWindow.h"

RTComposer &RTComposer::shared()
{
    static RTComposer composer;
    return composer;
}

RTComposeLineWidget *RTComposer::createComposeLine(QWidget *parent)
{
    auto *line = new RTComposeLineWidget(RTComposeLineWidget::Mode::Line, parent);
    m_line = line;
    return line;
}

void RTComposer::focusComposeLine(bool directMessage)
{
    if (!m_line)
        return;
    m_line->show();
    if (directMessage)
        if (auto *twitter =
                qobject_cast<RTTwitterDirectInputLineViewController *>(m_line->controller()))
            twitter->startDirectMessage();
    m_line->focusTextBox();
}

void RTComposer::showComposeWindow(const QString &url)
{
    RTComposeWindow::showDirectInputWindowForUrl(url);
}

void RTComposer::closeAllComposeWindows()
{
    RTComposeWindow::closeAllDirectInputWindows();
}

bool RTComposer::startMessage(Kind kind, const RTMessagePtr &message)
{
    const auto tweet = std::dynamic_pointer_cast<RTMessageTwitter>(message);
    if (!m_line || !tweet)
        return false;
    RTServicePtr account;
    for (const RTServicePtr &s : RTServiceRegistry::shared().services())
        if (s.get() == tweet->service())
            account = s;
    if (!account)
        account = m_line->currentAccount();
    m_line->selectAccount(account);
    auto *line = qobject_cast<RTTwitterDirectInputLineViewController *>(m_line->controller());
    if (!line)
        return false;
    m_line->show();
    switch (kind) {
    case Kind::Reply:
        line->replyWithMessages({tweet});
        break;
    case Kind::ReplyAll:
        line->replyAllWithMessages({tweet});
        break;
    case Kind::Quote:
        line->quoteWithMessages({tweet});
        break;
    case Kind::Copy:
        line->copyForwardWithMessages({tweet});
        break;
    case Kind::DirectMessage:
        line->directForMessages({tweet});
        break;
    }
    m_line->focusTextBox();
    return true;
}
