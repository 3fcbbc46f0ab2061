#include "twitter/RTRequestOperationTwitterLists.h"

#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "model/RTMessageTwitter.h"
#include "platform/fake/FakeKeychain.h"
#include "twitter/RTServiceTwitter.h"

#include <gtest/gtest.h>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// An account whose requests are recorded instead of sent.
class RecordingAccount : public RTServiceTwitter
{
public:
    struct Request
    {
        qint32 type = 0;
        QVariantMap form;
        QVariantMap userInfo;
    };
    QList<Request> requests;

protected:
    RTRequestOperationPtr queueRequest(qint32 requestType, RTRequestDelegatePtr,
                                       const QVariantMap &form, const QVariantMap &userInfo,
                                       int) override
    {
        requests.append({requestType, form, userInfo});
        return std::make_shared<RTRequestOperationTwitterLists>();
    }
    void performAfterDelay(double, std::function<void()>) override {}
};

RTListTwitterPtr makeList(const char *id, const char *owner, bool mine)
{
    auto list = std::make_shared<RTListTwitter>(QString::fromLatin1(id));
    auto user = RTUserTwitter::create(QStringLiteral("7"));
    user->setScreenName(QString::fromLatin1(owner));
    list->setUser(user);
    list->setIsMine(mine);
    list->setSlugName(QString::fromLatin1(id));
    return list;
}

RTMessagePtr messageBy(const char *id, const char *userId)
{
    auto m = RTMessageTwitter::create(QString::fromLatin1(id));
    m->setUserId(QString::fromLatin1(userId));
    m->setTemporaryFlags(RTTemporaryFlag::IsListed);
    return m;
}

class ListManagementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        HostProfile profile;
        profile.setName(QStringLiteral("test"));
        profile.setBaseUrl(QStringLiteral("twitter-api"),
                           QUrl(QStringLiteral("https://api.test:8443")));
        HostProfile::setCurrent(profile);
        account = std::make_shared<RecordingAccount>();
        account->setServiceId(QStringLiteral("alice"));
    }
    void TearDown() override
    {
        HostProfile::setCurrent(HostProfile::real());
        Keychain::setShared(nullptr);
    }

    FakeKeychain keychain;
    std::shared_ptr<RecordingAccount> account;
};

} // namespace

TEST_F(ListManagementTest, EveryListChangeGoesToItsOwnersPathSigned)
{
    const RTListTwitterPtr mine = makeList("1130001", "alice", true);
    const RTListTwitterPtr bobs = makeList("1129440", "bob", false);
    const struct
    {
        qint32 type;
        RTListTwitterPtr list;
        const char *method;
        const char *path;
    } rows[] = {
        {RTTwitterRequestCreateList, nullptr, "POST", "/1/alice/lists"},
        {RTTwitterRequestUpdateList, mine, "POST", "/1/alice/lists/1130001"},
        {RTTwitterRequestDestroyList, mine, "POST", "/1/alice/lists/1130001"},
        {RTTwitterRequestListMembers, bobs, "GET", "/1/bob/1129440/members"},
        {RTTwitterRequestAddListMember, mine, "POST", "/1/alice/1130001/members"},
        {RTTwitterRequestRemoveListMember, mine, "POST", "/1/alice/1130001/members"},
        {RTTwitterRequestSubscribeList, bobs, "POST", "/1/bob/1129440/subscribers"},
        {RTTwitterRequestUnsubscribeList, bobs, "POST", "/1/bob/1129440/subscribers"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.type);
        RTRequestOperationTwitterLists operation;
        operation.setService(account);
        if (row.list)
            operation.setUserInfo({{QStringLiteral("listObject"), QVariant::fromValue(row.list)}});
        RTUrlInformation info;
        ASSERT_TRUE(operation.urlInformationForRequestType(row.type, info));
        EXPECT_EQ(info.httpMethod, QLatin1String(row.method));
        EXPECT_EQ(info.path, QLatin1String(row.path));
        EXPECT_EQ(info.format, QStringLiteral(".json"));
        EXPECT_EQ(info.httpProtocol, QStringLiteral("https"));
        EXPECT_EQ(info.hostString, QStringLiteral("api.test:8443"));
        EXPECT_EQ(info.arguments, QString());
        EXPECT_EQ(info.authentificationMethod, RTRequestOperation::AuthentificationOAuth);

        // The plain operation has no entry for them; a change without its list has none.
        RTRequestOperationTwitter plain;
        plain.setService(account);
        RTUrlInformation none;
        EXPECT_FALSE(plain.urlInformationForRequestType(row.type, none));
        if (row.list) {
            RTRequestOperationTwitterLists listless;
            listless.setService(account);
            EXPECT_FALSE(listless.urlInformationForRequestType(row.type, none));
        }
    }
    // Other types are the plain operation's.
    RTRequestOperationTwitterLists operation;
    operation.setService(account);
    RTUrlInformation info;
    ASSERT_TRUE(operation.urlInformationForRequestType(RTTwitterRequestUserLists, info));
    EXPECT_EQ(info.path, QStringLiteral("/1/alice/lists"));
    EXPECT_EQ(info.httpMethod, QStringLiteral("GET"));
}

TEST_F(ListManagementTest, NamesAreCheckedBeforeAnythingIsSent)
{
    const struct
    {
        const char *name;
        bool acceptable;
    } names[] = {
        {"Tea Friends", true},
        {"  padded  ", true},
        {"", false},
        {"   ", false},
        {"!!!", false},
        {"abcdefghijklmnopqrstuvwxy", true},
        {"abcdefghijklmnopqrstuvwxyz", false},
        {"ça va", true},
    };
    for (const auto &n : names) {
        SCOPED_TRACE(n.name);
        const QString name = QString::fromUtf8(n.name);
        EXPECT_EQ(RTServiceTwitter::listNameProblem(name).isEmpty(), n.acceptable);
        account->requests.clear();
        EXPECT_EQ(account->createListWithName(name, true, QStringLiteral("d")), n.acceptable);
        ASSERT_EQ(account->requests.size(), n.acceptable ? 1 : 0);
        if (n.acceptable) {
            const QVariantMap form = account->requests.constFirst().form;
            EXPECT_EQ(form.value("name").toString(), name.trimmed());
            EXPECT_EQ(form.value("mode").toString(), QStringLiteral("private"));
        }
    }
    const struct
    {
        const char *typed;
        const char *sent; // empty: refused
    } people[] = {
        {"@bob", "bob"},   {" bob_2 ", "bob_2"},     {"@", ""},
        {"bob smith", ""}, {"abcdefghijklmnop", ""}, {"abcdefghijklmno", "abcdefghijklmno"},
        {"b&b", ""},
    };
    const RTListTwitterPtr mine = makeList("1130001", "alice", true);
    for (const auto &p : people) {
        SCOPED_TRACE(p.typed);
        EXPECT_EQ(RTServiceTwitter::normalizedScreenName(QString::fromLatin1(p.typed)),
                  QString::fromLatin1(p.sent));
        account->requests.clear();
        const bool expected = *p.sent != '\0';
        EXPECT_EQ(account->addMemberToList(mine, QString::fromLatin1(p.typed)), expected);
        ASSERT_EQ(account->requests.size(), expected ? 1 : 0);
        if (expected) {
            EXPECT_EQ(account->requests.constFirst().form.value("id").toString(),
                      QString::fromLatin1(p.sent));
        }
    }
    // Only the owner changes a list; only others' lists are followed.
    const RTListTwitterPtr bobs = makeList("1129440", "bob", false);
    account->requests.clear();
    EXPECT_FALSE(account->updateList(bobs, QStringLiteral("x"), false, QString()));
    EXPECT_FALSE(account->destroyList(bobs));
    EXPECT_FALSE(account->removeMemberFromList(bobs, QStringLiteral("bob")));
    EXPECT_FALSE(account->subscribeToList(mine));
    EXPECT_FALSE(account->unsubscribeFromList(mine));
    EXPECT_TRUE(account->requests.isEmpty());
}

TEST_F(ListManagementTest, AMemberWhoLeavesTakesOnlyTheirMessagesAndSharedOnesStayListed)
{
    const RTListTwitterPtr tea = makeList("1", "alice", true);
    const RTListTwitterPtr cake = makeList("2", "alice", true);
    account->setListsArray({tea, cake});
    auto bob = RTUserTwitter::create(QStringLiteral("20"));
    bob->setScreenName(QStringLiteral("bob"));
    account->setUsersDictionary({{bob->userId(), bob}});
    const RTMessagePtr onlyTea = messageBy("100", "20");
    const RTMessagePtr inBoth = messageBy("101", "20");
    const RTMessagePtr carols = messageBy("102", "30");
    tea->addMessagesToMessagesSet({onlyTea, inBoth, carols});
    cake->addMessagesToMessagesSet({inBoth});

    auto answered = makeList("1", "alice", true);
    answered->setMemberCount(4);
    account->dealWithListChange(
        {{key(kRTUserInfoKey), QVariantMap{{QStringLiteral("listObject"), QVariant::fromValue(tea)},
                                           {QStringLiteral("screenName"), QStringLiteral("bob")}}},
         {QStringLiteral("list"), QVariant::fromValue(answered)}},
        RTTwitterRequestRemoveListMember);

    EXPECT_EQ(tea->memberCount(), 4);
    EXPECT_EQ(QSet<QString>(tea->messagesSet().keyBegin(), tea->messagesSet().keyEnd()),
              QSet<QString>{QStringLiteral("102")});
    EXPECT_FALSE(onlyTea->temporaryFlags() & RTTemporaryFlag::IsListed);
    EXPECT_TRUE(inBoth->temporaryFlags() & RTTemporaryFlag::IsListed);
    EXPECT_TRUE(carols->temporaryFlags() & RTTemporaryFlag::IsListed);
    EXPECT_EQ(cake->messagesSet().size(), 1);
}
