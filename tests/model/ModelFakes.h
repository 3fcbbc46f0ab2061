#pragma once

#include "model/RTAccountDirectory.h"
#include "model/RTMessageDataSource.h"
#include "model/RTMessageHolder.h"
#include "model/RTMessageTwitter.h"
#include "model/RTTwitterAccountActions.h"
#include "model/RTUserTwitter.h"

#include <QObject>
#include <atomic>

// A tree node that only keeps its unseen count.
class FakeNode : public RTMessageHolder
{
public:
    explicit FakeNode(int count = 0)
        : newMessagesCount(count)
    {
    }
    void changeNewMessagesCountBy(int delta) override { newMessagesCount += delta; }
    std::atomic<int> newMessagesCount;
};

// An account that hands out a fixed list of copies and records the requests it gets.
class FakeAccount : public QObject, public RTMessageDataSource, public RTTwitterAccountActions
{
public:
    QList<RTMessagePtr> copies;
    QStringList calls;

    QList<RTMessagePtr> messagesLike(const RTMessage &) override { return copies; }
    void retweetWithMessage(const RTMessageTwitterPtr &m) override
    {
        calls << QStringLiteral("retweet ") + m->messageId();
    }
    void favoriteCreateWithMessage(const RTMessageTwitterPtr &m) override
    {
        calls << QStringLiteral("favorite ") + m->messageId();
    }
    void favoriteDestroyWithMessage(const RTMessageTwitterPtr &m) override
    {
        calls << QStringLiteral("unfavorite ") + m->messageId();
    }
    void createFriendshipWithUser(const RTUserTwitterPtr &u) override
    {
        calls << QStringLiteral("follow ") + u->screenName();
    }
    void destroyFriendshipWithUser(const RTUserTwitterPtr &u) override
    {
        calls << QStringLiteral("unfollow ") + u->screenName();
    }
};

// Installs itself as the account directory for the lifetime of a test.
class FakeDirectory : public RTAccountDirectory
{
public:
    FakeDirectory() { setShared(this); }
    ~FakeDirectory() override { setShared(nullptr); }
    QList<QObject *> twitterAccounts() const override { return accounts; }
    RTMessageDataSource *searcher() const override { return searcherStore; }

    QList<QObject *> accounts;
    RTMessageDataSource *searcherStore = nullptr;
};
