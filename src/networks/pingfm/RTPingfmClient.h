#pragma once

#include "network/RTRequestOperation.h"
#include "sharing/RTShortenerClient.h"

#include <QString>
#include <memory>

class RTServicePingfm;

// What a Ping.fm account does: check its application key, read its latest posts, relay a
// post, and shorten and expand links as a shortener. The account record lives below the
// request layer, so its operations live here and take the account.
class RTPingfmClient
{
public:
    // Post types of postItem().
    enum PostType : int
    {
        PostDefault = 1,
        PostBlog = 2,
        PostMicroBlog = 3,
        PostStatus = 4,
    };

    // "microblog", "status", "blog" or "default".
    [[nodiscard]] static QString postMethodForType(int postType);
    // The post type a compose line sends with, from the account's switches.
    [[nodiscard]] static int postTypeForAccount(const RTServicePingfm &account);

    // Request type 1. Sent even before the account is verified (the add-account page).
    static RTRequestOperationPtr verifyCredentials(const std::shared_ptr<RTServicePingfm> &account,
                                                   RTRequestDelegatePtr delegate);
    // Request type 4.
    static RTRequestOperationPtr getLatest(const std::shared_ptr<RTServicePingfm> &account,
                                           RTRequestDelegatePtr delegate);
    // Request type 6.
    static RTRequestOperationPtr postItem(const std::shared_ptr<RTServicePingfm> &account,
                                          int postType, const QString &messageText,
                                          RTRequestDelegatePtr delegate);
    // Request types 10 and 11, through RTShortenerClient. expand() takes only links of
    // the account's own short-link host.
    static bool shorten(const RTServicePtr &account, const QString &longUrl,
                        RTShortenerClient::Finished finished);
    static bool expand(const RTServicePtr &account, const QString &shortUrl,
                       RTShortenerClient::Finished finished);

    // The first Ping.fm account of the registry: a Ping.fm line shortens through it.
    [[nodiscard]] static RTServicePtr defaultShortener();

    // Registers the operation class and the shortener requests.
    static void registerClasses();

private:
    static RTRequestOperationPtr send(const std::shared_ptr<RTServicePingfm> &account, qint32 type,
                                      QVariantMap parameters, RTRequestDelegatePtr delegate,
                                      QVariantMap userInfo, int operationType);
};
