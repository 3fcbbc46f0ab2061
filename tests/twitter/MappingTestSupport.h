#pragma once

#include "foundation/Clock.h"
#include "model/RTAccountDirectory.h"
#include "platform/fake/FakeKeychain.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterResponseMapper.h"
#include "json/Json.h"

#include <QLocale>
#include <QPointer>
#include <gtest/gtest.h>

// Accounts and a clock for tests that feed canned Twitter answers through the mapping.
class MappingTestBase : public ::testing::Test, public RTAccountDirectory
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        Clock::setShared(&clock);
        RTAccountDirectory::setShared(this);
    }
    void TearDown() override
    {
        RTAccountDirectory::setShared(nullptr);
        Clock::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    // Accounts die with their test's scope, some within a loop: only the living count.
    [[nodiscard]] QList<QObject *> twitterAccounts() const override
    {
        QList<QObject *> living;
        for (const QPointer<QObject> &account : accounts) {
            if (account)
                living.append(account.data());
        }
        return living;
    }
    [[nodiscard]] RTMessageDataSource *searcher() const override { return nullptr; }

    // An established account whose own user is "me" (id 1).
    std::unique_ptr<RTServiceTwitter> makeAccount(const QString &name = QStringLiteral("me"),
                                                  bool newlyAdded = false)
    {
        auto account = std::make_unique<RTServiceTwitter>();
        account->setServiceId(name);
        account->setIsNewlyAdded(newlyAdded);
        auto myself = RTUserTwitter::create(QStringLiteral("1"));
        myself->setScreenName(name);
        account->setMyself(myself);
        accounts.append(account.get());
        return account;
    }

    // A REST date secondsAgo before the fake clock's now.
    [[nodiscard]] QString restDate(qint64 secondsAgo = 60) const
    {
        return QLocale(QLocale::English)
            .toString(clock.now().toUTC().addSecs(-secondsAgo),
                      QStringLiteral("ddd MMM dd HH:mm:ss +0000 yyyy"));
    }

    // One status record as JSON text; extra is spliced in as further members.
    [[nodiscard]] QString status(const QString &id, const QString &userId, const QString &text,
                                 const QString &extra = QString(), qint64 secondsAgo = 60) const
    {
        return QStringLiteral(R"({"id":%1,"text":"%2","created_at":"%3","source":"web",)"
                              R"("user":{"id":%4,"screen_name":"u%4",)"
                              R"("profile_image_url":"http://img/%4.png"}%5})")
            .arg(id, text, restDate(secondsAgo), userId,
                 extra.isEmpty() ? QString() : QLatin1Char(',') + extra);
    }

    static JsonValue parse(const QString &json) { return objectFromJSON(json.toUtf8()); }

    static RTTwitterParseResult feed(RTServiceTwitter &account, int type,
                                     const QStringList &statuses)
    {
        return RTTwitterResponseMapper::parseMessages(
            parse(QLatin1Char('[') + statuses.join(QLatin1Char(',')) + QLatin1Char(']')), type,
            account);
    }

    FakeKeychain keychain;
    FakeClock clock;
    QList<QPointer<QObject>> accounts;
};
