#include "ui/RTTextServiceActions.h"

#include "foundation/RTGlobalVariables.h"
#include "network/RTStatusManager.h"
#include "networks/instapaper/RTInstapaperClient.h"
#include "sharing/RTRequestCallback.h"
#include "text/RTMessageTextParser.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("RTTextServiceActions", text);
}

// Identity of the status lines this menu adds.
const char kSavedStatus = 0;
} // namespace

QStringList RTTextServiceActions::linksToSave(const RTMessage &message, const QString &pageUrl)
{
    QStringList links = RTMessageTextParser::unescapedLinksInMessageText(message.body());
    links.removeDuplicates();
    if (links.isEmpty() && !pageUrl.isEmpty())
        links << pageUrl;
    return links;
}

int RTTextServiceActions::saveToInstapaper(const QStringList &links)
{
    int queued = 0;
    // A failure reaches the error list and the status bar through the request itself.
    const auto saved = RTRequestCallback::make(
        [](const QVariantMap &result) {
            RTStatusManager::sharedManager().addTransientStatusForObject(
                &kSavedStatus, QString::fromLatin1(RTTransientStatusContext),
                tr("Saved to Instapaper: %1")
                    .arg(result.value(QStringLiteral("urlToAdd")).toString()),
                3.0);
        },
        nullptr);
    for (const auto &account : RTInstapaperClient::instapaperServices())
        queued += RTInstapaperClient::addUrls(account, links, saved);
    return queued;
}

void RTTextServiceActions::addToMessageMenu(QMenu &menu, QAction *translate,
                                            const RTMessagePtr &message, const QString &pageUrl)
{
    if (translate) {
        const bool shown = message && (message->isTranslated() || message->isAutotranslated());
        translate->setText(shown ? tr("Show Original") : tr("Translate"));
        translate->setEnabled(bool(message));
    }
    QAction *save = new QAction(tr("Save to Instapaper"), &menu);
    save->setObjectName(QStringLiteral("saveToInstapaper"));
    const QStringList links = message ? linksToSave(*message, pageUrl) : QStringList();
    const bool hasAccount = !RTInstapaperClient::instapaperServices().isEmpty();
    save->setEnabled(hasAccount && !links.isEmpty());
    if (!hasAccount)
        save->setToolTip(tr("Add an Instapaper account first"));
    QObject::connect(save, &QAction::triggered, save, [links] { saveToInstapaper(links); });
    const QList<QAction *> actions = menu.actions();
    const qsizetype at = translate ? actions.indexOf(translate) : -1;
    if (at >= 0 && at + 1 < actions.size())
        menu.insertAction(actions.at(at + 1), save);
    else
        menu.addAction(save);
}
