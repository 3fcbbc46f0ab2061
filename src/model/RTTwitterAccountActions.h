#pragma once

#include <memory>

class RTMessageTwitter;
class RTUserTwitter;

// The requests a Twitter message or user asks of its account. Implemented by the Twitter
// account; messages reach it through their service or the account directory.
class RTTwitterAccountActions
{
public:
    virtual ~RTTwitterAccountActions() = default;
    virtual void retweetWithMessage(const std::shared_ptr<RTMessageTwitter> &message) = 0;
    virtual void favoriteCreateWithMessage(const std::shared_ptr<RTMessageTwitter> &message) = 0;
    virtual void favoriteDestroyWithMessage(const std::shared_ptr<RTMessageTwitter> &message) = 0;
    virtual void createFriendshipWithUser(const std::shared_ptr<RTUserTwitter> &user) = 0;
    virtual void destroyFriendshipWithUser(const std::shared_ptr<RTUserTwitter> &user) = 0;
};
