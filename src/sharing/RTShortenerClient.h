#pragma once

#include "accounts/RTService.h"

#include <QString>
#include <functional>

// Sends a shortener's requests and tells the caller how they ended. Shortener accounts
// sit below the request layer, so their shorten and expand operations live here and take
// the shortener.
//
// The callback always runs once, on the main thread: with the long link and the short
// link (either may be null). A failed shortening reports the long link it was asked for
// and no short link, so the caller can keep the long one.
class RTShortenerClient
{
public:
    using Finished = std::function<void(const QString &longUrl, const QString &shortUrl)>;

    // Shortens longUrl. False (and no callback) when the service is not a shortener.
    static bool shortByLongStringURL(const RTServicePtr &shortener, const QString &longUrl,
                                     Finished finished);
    // Expands a short link of the shortener's own domain; false (and no callback) when the
    // link is not the service's or the service cannot expand.
    static bool longByShortStringURL(const RTServicePtr &shortener, const QString &shortUrl,
                                     Finished finished);

    // Shortener accounts of higher layers (Ping.fm) send their own requests: they
    // register them under their class name, and the two calls above use them.
    using Request =
        std::function<bool(const RTServicePtr &shortener, const QString &url, Finished finished)>;
    static void registerShortenerRequests(const QString &serviceClass, Request shorten,
                                          Request expand);
};
