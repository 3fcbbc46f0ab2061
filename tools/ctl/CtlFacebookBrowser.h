#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// Plays a user's browser against a Facebook authorisation page: loads the page, fills in
// the log-in form, submits it and follows the answer to its redirect address (the
// program's loopback listener). Blocks; run it off the thread that runs the listener.
struct CtlFacebookBrowser
{
    QString user;
    QString password;
    bool deny = false; // press Cancel instead of Log in
    // Applied to the redirect address before it is followed (tests change the state).
    std::function<QUrl(const QUrl &)> rewriteRedirect;

    struct Outcome
    {
        bool reachedRedirect = false;
        QString error;          // why the page was not passed
        int redirectStatus = 0; // what the listener answered
        QString redirectBody;
    };
    [[nodiscard]] Outcome run(const QUrl &authorizationUrl) const;
};
