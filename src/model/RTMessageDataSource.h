#pragma once

#include <QList>
#include <memory>

class RTMessage;

// A store of messages that can name the copies of a message: the same status in other
// accounts and in the searcher, the retweeted status and retweets of it. Implemented by
// the Twitter account and by the shared searcher.
class RTMessageDataSource
{
public:
    virtual ~RTMessageDataSource() = default;
    [[nodiscard]] virtual QList<std::shared_ptr<RTMessage>>
    messagesLike(const RTMessage &message) = 0;
};
