#pragma once

#include "network/RTRequestOperation.h"

#include <QStringList>
#include <memory>

class RTServiceInstapaper;

// What an Instapaper account does: check its user name and password, and save links in
// the user's reading list. The account record lives below the request layer, so its
// operations live here and take the account.
class RTInstapaperClient
{
public:
    // Request type 0, with high priority; sent even before the account is verified.
    static RTRequestOperationPtr
    verifyCredentials(const std::shared_ptr<RTServiceInstapaper> &account,
                      RTRequestDelegatePtr delegate);
    // Request type 1 on the immediate queue.
    static RTRequestOperationPtr addUrl(const std::shared_ptr<RTServiceInstapaper> &account,
                                        const QString &url, RTRequestDelegatePtr delegate);
    // One addUrl() per link; the number of requests queued.
    static int addUrls(const std::shared_ptr<RTServiceInstapaper> &account, const QStringList &urls,
                       RTRequestDelegatePtr delegate);
    // Every Instapaper account of the registry, in order.
    [[nodiscard]] static QList<std::shared_ptr<RTServiceInstapaper>> instapaperServices();

    static void registerClasses();
};
