#pragma once

#include "accounts/RTServiceRegistry.h"
#include "foundation/Clock.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageFlags.h"
#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "platform/fake/FakeKeychain.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTServiceTwitter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

// A tree node manager over a registry of Twitter accounts, as the program has it, with
// helpers to make messages and to wait for queued work.
class UiTestBase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        SettingsStore::shared().removeObjectForKey(QString::fromLatin1(RTExpandedNodesKey));
    }
    void TearDown() override
    {
        manager.reset();
        registry.setServices({});
        Keychain::setShared(nullptr);
    }

    std::shared_ptr<RTServiceTwitter> addAccount(const QString &name)
    {
        auto account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(name);
        account->setIsNewlyAdded(false);
        auto myself = RTUserTwitter::create(QStringLiteral("1"));
        myself->setScreenName(name);
        account->setMyself(myself);
        RTServiceList services = registry.services();
        services.append(account);
        registry.setServices(services);
        return account;
    }

    void startManager() { manager = std::make_unique<RTTreeNodeManager>(registry); }

    // A message of account by author, minutesAgo old, with the given kind bits.
    static RTMessageTwitterPtr message(RTServiceTwitter *account, const QString &id,
                                       const QString &text, quint32 kinds, int minutesAgo = 0,
                                       const QString &author = QStringLiteral("bob"))
    {
        auto m = RTMessageTwitter::create(id);
        m->setService(account);
        m->setBody(text);
        m->setCreatedAt(QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo));
        m->setTemporaryFlags(kinds);
        auto user = RTUserTwitter::create(QStringLiteral("u-") + author);
        user->setScreenName(author);
        user->setLongName(author.at(0).toUpper() + author.mid(1) + QStringLiteral(" Example"));
        m->setUser(user);
        return m;
    }

    // Runs the event loop until done() or the time is up; returns done().
    static bool waitFor(const std::function<bool()> &done, int ms = 5000)
    {
        QDeadlineTimer deadline(ms);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    RTTreeNode *child(const QString &account, qint32 requestType) const
    {
        for (RTTreeNode *root : manager->rootTreeNodes()) {
            if (root->name() == account)
                return root->getChildByRequestType(requestType);
        }
        return nullptr;
    }

    FakeKeychain keychain;
    RTServiceRegistry registry;
    std::unique_ptr<RTTreeNodeManager> manager;
};

namespace UiRequestType {
inline constexpr qint32 Home = 55;
inline constexpr qint32 Mentions = 3;
inline constexpr qint32 Sent = 4;
} // namespace UiRequestType
