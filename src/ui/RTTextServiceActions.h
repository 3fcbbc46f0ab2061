#pragma once

#include "model/RTMessage.h"

#include <QStringList>

class QAction;
class QMenu;

// The message menu's text-service items: Translate, which turns a shown translation off
// again ("Show Original"), and Save to Instapaper, which saves the message's links (or,
// for a message without links, its own page) in every Instapaper account.
class RTTextServiceActions
{
public:
    // Adds Save to Instapaper after the translate action and sets that action's title.
    // pageUrl: the message's own web page.
    static void addToMessageMenu(QMenu &menu, QAction *translate, const RTMessagePtr &message,
                                 const QString &pageUrl);
    // The links Save to Instapaper sends for a message: those in its text, else pageUrl.
    [[nodiscard]] static QStringList linksToSave(const RTMessage &message, const QString &pageUrl);
    // Saves the links in every Instapaper account; the number of requests queued.
    static int saveToInstapaper(const QStringList &links);
};
