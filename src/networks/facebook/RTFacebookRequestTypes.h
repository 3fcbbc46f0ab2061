#pragma once

#include <QtGlobal>

// Request types of a Facebook account.
enum RTFacebookRequestType : qint32
{
    RTFacebookRequestUserInfo = 30,
    RTFacebookRequestLoggedUserInfo = 31,
    RTFacebookRequestNewsFeed = 32,
    RTFacebookRequestPostStatus = 33,
    RTFacebookRequestPostDetails = 34,
    // The code-for-token exchange that ends a browser log-in.
    RTFacebookRequestAccessToken = 35,
};
