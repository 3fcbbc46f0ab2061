#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceBitly.h"
#include "accounts/RTServiceInstapaper.h"
#include "accounts/RTServiceIsgd.h"
#include "accounts/RTServiceMobypicture.h"
#include "accounts/RTServiceNodeManager.h"
#include "accounts/RTServicePingfm.h"
#include "accounts/RTServiceProtocols.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "networks/NetworksRegistration.h"
#include "networks/facebook/RTServiceFacebook.h"

#include <gtest/gtest.h>

namespace {

// A message-receiving account with a tree node, as the Twitter account is.
class ReceivingService : public RTService, public RTMessageReceivingProtocol
{
public:
    explicit ReceivingService(const QString &id)
    {
        setServiceId(id);
        setServiceName("Recv");
    }
    int serviceType() const override { return 99; }
    QString treeNodeClass() const override { return QStringLiteral("RTTreeNodeTest"); }
    bool includeMessagesInListViewScopeMeasurement() const override { return true; }
    std::shared_ptr<RTMessage> messageWithId(const QString &) const override { return nullptr; }
};

class RecordingNodeManager : public RTServiceNodeManager
{
public:
    QStringList calls;
    void addNodeWithService(const RTServicePtr &s, bool expand) override
    {
        calls << QStringLiteral("add %1 %2").arg(s->serviceId()).arg(expand);
    }
    void removeNodeWithService(const RTServicePtr &s) override
    {
        calls << QStringLiteral("remove %1").arg(s->serviceId());
    }
    void observePredicateForHomeNode(const RTServicePtr &s) override
    {
        calls << QStringLiteral("observe %1").arg(s->serviceId());
    }
    void stopObservingPredicateForHomeNode(const RTServicePtr &s) override
    {
        calls << QStringLiteral("unobserve %1").arg(s->serviceId());
    }
};

template<class T> std::shared_ptr<T> make(const QString &id)
{
    auto s = std::make_shared<T>();
    s->setServiceId(id);
    return s;
}

QStringList ids(const RTServiceList &list)
{
    QStringList out;
    for (const auto &s : list)
        out << s->serviceId();
    return out;
}

} // namespace

TEST(RTServiceRegistry, ClassQueriesSortByWeightThenNameAndKeepRegistryOrderForTies)
{
    RTServiceRegistry registry;
    auto insta = make<RTServiceInstapaper>("insta"); // 50
    auto bitly = make<RTServiceBitly>("bitly");      // 25
    auto fb1 = make<RTServiceFacebook>("fb1");       // 1, "facebook"
    auto ping = make<RTServicePingfm>("ping");       // 10, a shortener subclass
    auto fb2 = make<RTServiceFacebook>("fb2");       // tie with fb1
    auto isgd = make<RTServiceIsgd>("isgd");         // 100
    auto moby = make<RTServiceMobypicture>("moby");  // 35
    auto fb0 = make<RTServiceFacebook>("fb0");       // tie, registered last
    fb0->setServiceName("Facebook");                 // upper case sorts before "facebook"
    registry.setServices({insta, bitly, fb1, ping, fb2, isgd, moby, fb0});

    const struct
    {
        const QMetaObject *cls;
        QStringList expected;
    } cases[] = {
        {&RTService::staticMetaObject,
         {"fb0", "fb1", "fb2", "ping", "bitly", "moby", "insta", "isgd"}},
        {&RTShortenerService::staticMetaObject, {"ping", "bitly", "isgd"}},
        {&RTServiceFacebook::staticMetaObject, {"fb0", "fb1", "fb2"}},
        {&RTServiceImager::staticMetaObject, {"moby"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ids(registry.allServicesOfSameClass(*c.cls)), c.expected) << c.cls->className();

    EXPECT_EQ(ids(registry.servicesConformingTo<RTShortenerServiceProtocol>()),
              QStringList({"ping", "bitly", "isgd"}));
    EXPECT_EQ(registry.allServicesOfSameClass<RTServicePingfm>().value(0), ping);
    // Registry order, the receiver left out, subclasses included.
    EXPECT_EQ(ids(registry.otherSevicesOfSameClass(*fb2)), QStringList({"fb1", "fb0"}));
    EXPECT_EQ(ids(registry.otherSevicesOfSameClass(*bitly)), QStringList());
}

TEST(RTServiceRegistry, ServiceWithServiceIdNeedsIdAndType)
{
    RTServiceRegistry registry;
    auto fb = make<RTServiceFacebook>("alice");
    auto fbSecond = make<RTServiceFacebook>("alice");
    auto bitly = make<RTServiceBitly>("alice");
    registry.setServices({fb, bitly, fbSecond});

    EXPECT_EQ(registry.serviceWithServiceId("alice", 3), fb);
    EXPECT_EQ(registry.serviceWithServiceId("alice", 7), bitly);
    EXPECT_EQ(registry.serviceWithServiceId("alice", 18), nullptr);
    EXPECT_EQ(registry.serviceWithServiceId("bob", 3), nullptr);
}

TEST(RTServiceRegistry, AddAndRemoveDriveTheNodeManagerAndDeleteTheService)
{
    RTServiceRegistry registry;
    RecordingNodeManager nodes;
    registry.setNodeManager(&nodes);
    int changes = 0;
    QObject::connect(&registry, &RTServiceRegistry::servicesChanged, [&] { ++changes; });

    auto recv = std::make_shared<ReceivingService>("recv");
    auto bitly = make<RTServiceBitly>("bitly"); // no tree node
    registry.addServiceArray({recv, bitly});
    registry.addService(recv); // already there: ignored
    EXPECT_EQ(ids(registry.services()), QStringList({"recv", "bitly"}));
    EXPECT_EQ(nodes.calls, QStringList({"add recv 1", "observe recv"}));
    EXPECT_EQ(changes, 2);

    int posted = 0;
    const void *postedObject = nullptr;
    const int observer = NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(RTDeletedServiceNotification),
        [&](const void *object, const QVariantMap &) {
            ++posted;
            postedObject = object;
        });
    recv->start();
    nodes.calls.clear();
    registry.removeService(recv);
    NotificationCenter::defaultCenter().removeObserver(observer);

    EXPECT_EQ(nodes.calls, QStringList({"unobserve recv", "remove recv"}));
    EXPECT_FALSE(recv->running());
    EXPECT_TRUE(recv->isDeleted());
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(postedObject, recv.get());
    EXPECT_EQ(ids(registry.services()), QStringList({"bitly"}));
    EXPECT_EQ(changes, 3);
}

TEST(RTServiceRegistry, HasTwitterServicesFollowsTheList)
{
    class TwitterLike : public RTService
    {
    public:
        int serviceType() const override { return 2; }
    };
    RTServiceRegistry registry;
    QList<bool> announced;
    QObject::connect(&registry, &RTServiceRegistry::hasTwitterServicesChanged,
                     [&](bool has) { announced << has; });
    auto twitter = std::make_shared<TwitterLike>();
    registry.addService(make<RTServiceFacebook>("fb"));
    EXPECT_FALSE(registry.hasTwitterServices());
    registry.addService(twitter);
    EXPECT_TRUE(registry.hasTwitterServices());
    registry.removeServiceArray(registry.services());
    EXPECT_FALSE(registry.hasTwitterServices());
    EXPECT_EQ(announced, QList<bool>({false, true, true, false}));
}

TEST(RTServiceKinds, EveryKindHasItsTypeWeightNameAndListingRule)
{
    registerAccountArchiveClasses();
    registerNetworksClasses();
    const struct
    {
        const char *cls;
        int type;
        int weight;
        const char *name;
        bool listed;          // as created
        bool listedAnonymous; // as an anonymous instance, where there is one
    } kinds[] = {
        {"RTServiceFacebook", 3, 1, "facebook", true, true},
        {"RTServicePingfm", 4, 10, "Ping.fm", true, true},
        {"RTServiceTrim", 6, 27, "tr.im", true, false},
        {"RTServiceBitly", 7, 25, "bit.ly", true, false},
        {"RTServiceTalvo", 8, 100, "Talvo", false, false},
        {"RTServiceIsgd", 9, 100, "is.gd", false, false},
        {"RTServiceCligs", 10, 28, "Cligs", true, false},
        {"RTServiceTinyurl", 11, 100, "tinyurl.com", false, false},
        {"RTServiceJmp", 12, 26, "j.mp", true, false},
        {"RTServiceUnu", 13, 100, "u.nu", false, false},
        {"RTServiceTwitpic", 14, 100, "Twitpic", false, false},
        {"RTServiceYfrog", 15, 100, "yFrog", false, false},
        {"RTServiceTweetphoto", 16, 100, "Tweetphoto", false, false},
        {"RTServiceMobypicture", 17, 35, "Mobypicture", true, true},
        {"RTServiceInstapaper", 18, 50, "Instapaper", true, true},
        {"RTServiceImgly", 19, 100, "img.ly", false, false},
        {"RTServiceTwitgoo", 20, 100, "Twitgoo", false, false},
        {"RTServiceTwicli", 21, 100, "Twic.li", false, false},
        {"RTServiceBudurl", 22, 29, "budurl.com", true, true},
    };
    for (const auto &k : kinds) {
        const QString cls = QString::fromLatin1(k.cls);
        RTServicePtr s = createServiceOfClass(cls);
        ASSERT_TRUE(s) << k.cls;
        EXPECT_EQ(s->archiveClassName(), cls);
        EXPECT_EQ(s->serviceType(), k.type) << k.cls;
        EXPECT_EQ(s->sortWeight(), k.weight) << k.cls;
        EXPECT_EQ(s->serviceName(), QString::fromLatin1(k.name)) << k.cls;
        EXPECT_EQ(s->shouldAppearInServiceList(), k.listed) << k.cls;
        // As created, exactly the kinds kept out of the list are anonymous.
        EXPECT_EQ(s->isAnonymous(), !k.listed) << k.cls;
        if (auto shortener = std::dynamic_pointer_cast<RTShortenerService>(s)) {
            shortener->setIsAnonymous(true);
            EXPECT_EQ(shortener->shouldAppearInServiceList(), k.listedAnonymous) << k.cls;
        }
    }
    EXPECT_EQ(createServiceOfClass("RTServiceNoSuchKind"), nullptr);
}

TEST(RTServiceKinds, AnonymousInstancesAndTheirArchivedFlag)
{
    registerAccountArchiveClasses();
    registerNetworksClasses();
    for (const QString &cls : RTShortenerService::shortenersClasses()) {
        auto s = RTShortenerService::anonymousShortenerService(cls);
        ASSERT_TRUE(s) << qPrintable(cls);
        EXPECT_TRUE(s->isAnonymous());
        EXPECT_EQ(s->serviceId(), QStringLiteral("Anonymous"));
        EXPECT_EQ(s->shortenerServiceName(), s->hostname());
    }
    for (const QString &cls : RTServiceImager::imagerClasses())
        EXPECT_TRUE(RTServiceImager::anonymousImagerService(cls)) << qPrintable(cls);
    EXPECT_EQ(RTShortenerService::anonymousShortenerService("RTServiceTwitpic"), nullptr);

    // An anonymous shortener survives the archive as anonymous, a user's account as not.
    for (bool anonymous : {true, false}) {
        RTServiceBitly bitly;
        bitly.setServiceId("alice");
        bitly.setIsAnonymous(anonymous);
        auto copy = KeyedUnarchiver::unarchiveObject(KeyedArchiver::archiveObject(&bitly),
                                                     std::make_shared<QString>());
        auto *decoded = dynamic_cast<RTServiceBitly *>(copy.get());
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->isAnonymous(), anonymous);
        EXPECT_EQ(decoded->shortenerServiceName(),
                  anonymous ? QStringLiteral("bit.ly") : QStringLiteral("bit.ly [alice]"));
    }
}

TEST(RTServiceKinds, PingfmPostSwitchesExcludeEachOtherAndOldArchivesDefault)
{
    RTServicePingfm ping;
    ping.setPostStatus(true);
    EXPECT_FALSE(ping.postMicroBlog());
    ping.setPostMicroBlog(true);
    EXPECT_FALSE(ping.postStatus());

    ping.setPostStatus(true);
    QCborMap map = KeyedArchiver::archiveObject(&ping).toMap();
    RTServicePingfm decoded;
    decoded.decodeWithCoder(KeyedUnarchiver(map));
    EXPECT_TRUE(decoded.postStatus());
    EXPECT_FALSE(decoded.postMicroBlog());

    map.remove(QStringLiteral("postStatus"));
    RTServicePingfm old;
    old.setPostStatus(true);
    old.decodeWithCoder(KeyedUnarchiver(map));
    EXPECT_TRUE(old.postMicroBlog());
    EXPECT_FALSE(old.postStatus());
}
