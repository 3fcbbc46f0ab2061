// The window over a tree of accounts: start-up to the first painted main window, painting
// a screen of rows, and the outline taking in a poll's batch for three accounts.
#include "accounts/RTServiceRegistry.h"
#include "foundation/Clock.h"
#include "model/RTAccountDirectory.h"
#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "platform/fake/FakeKeychain.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTServiceTwitter.h"
#include "ui/RTListViewController.h"
#include "ui/RTMainWindow.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"
#include "ui/RTOutlineModel.h"
#include "ui/RTWindowLayer.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <benchmark/benchmark.h>

namespace {

using namespace RTTemporaryFlag;

class Directory : public RTAccountDirectory
{
public:
    [[nodiscard]] QList<QObject *> twitterAccounts() const override { return accounts; }
    [[nodiscard]] RTMessageDataSource *searcher() const override { return nullptr; }
    QList<QObject *> accounts;
};

quint32 flagsFor(quint64 n)
{
    switch (n % 10) {
    case 0:
        return IsHome | IsMention;
    case 1:
        return IsHome | IsRetweet;
    case 2:
        return IsPrivate;
    default:
        return IsHome;
    }
}

const QStringList kTexts = {
    QStringLiteral("Coffee release lunch garden bike weekend snow https://frame.example/f3"),
    QStringLiteral("@grace Talk release bike coffee photo @carol #qt and a longer tail of words "
                   "so that this one wraps onto a second line in most windows"),
    QStringLiteral("Review book snow release build snow rain review #sandbox 👍🏽"),
    QStringLiteral("مرحبا @dana كيف حالك #talvo"),
};

// Accounts with stored messages already sorted into their nodes, as after a restart
// once the first polls have answered.
class Tree
{
public:
    Tree(const QStringList &names, int messagesPerAccount)
    {
        Clock::setShared(&clock);
        Keychain::setShared(&keychain);
        RTAccountDirectory::setShared(&directory);
        RTServiceList services;
        for (const QString &name : names) {
            auto account = std::make_shared<RTServiceTwitter>();
            account->setServiceId(name);
            account->setIsNewlyAdded(false);
            auto myself = RTUserTwitter::create(QStringLiteral("1"));
            myself->setScreenName(name);
            account->setMyself(myself);
            directory.accounts.append(account.get());
            accounts.append(account);
            services.append(account);
        }
        registry.setServices(services);
        for (int a = 0; a < accounts.size(); ++a) {
            RTServiceTwitter::MessagesDictionary stored;
            for (int i = 0; i < messagesPerAccount; ++i) {
                const quint64 id = 1000000 + quint64(i) * 3 + quint64(a);
                stored.insert(QString::number(id), makeMessage(id, *accounts.at(a), -60 * i));
            }
            accounts.at(a)->setMessagesDictionary(stored);
            if (messagesPerAccount > 0)
                accounts.at(a)->setHomeReferenceMessageId(
                    QString::number(1000000 + quint64(messagesPerAccount - 1) * 3 + quint64(a)));
        }
        manager = std::make_unique<RTTreeNodeManager>(registry);
        manager->allTreeNodesReEvaluteContent();
    }
    ~Tree()
    {
        manager.reset();
        registry.setServices({});
        RTAccountDirectory::setShared(nullptr);
        Keychain::setShared(nullptr);
        Clock::setShared(nullptr);
    }

    RTMessageTwitterPtr makeMessage(quint64 id, RTServiceTwitter &account, int secondsFromNow)
    {
        auto m = RTMessageTwitter::create(QString::number(id));
        m->setService(&account);
        m->setBody(kTexts.at(int(id % quint64(kTexts.size()))));
        m->setCreatedAt(now.addSecs(secondsFromNow));
        m->setTemporaryFlags(flagsFor(id));
        auto user = RTUserTwitter::create(QString::number(id % 50));
        user->setScreenName(QStringLiteral("user%1").arg(id % 50));
        user->setLongName(QStringLiteral("User Number %1").arg(id % 50));
        m->setUser(user);
        return m;
    }

    RTTreeNode *home(int account) const
    {
        return manager->getRootNodeForService(accounts.at(account).get())
            ->getChildByRequestType(55);
    }

    FakeClock clock;
    FakeKeychain keychain;
    Directory directory;
    RTServiceRegistry registry;
    QList<std::shared_ptr<RTServiceTwitter>> accounts;
    QDateTime now = QDateTime::currentDateTimeUtc();
    std::unique_ptr<RTTreeNodeManager> manager;
};

// From nothing on screen to the painted main window over 2 accounts and 10,000 messages.
void BM_StartupToFirstPaint(benchmark::State &state)
{
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto layer = std::make_unique<RTWindowLayer>();
        auto tree = std::make_unique<Tree>(
            QStringList{QStringLiteral("alice"), QStringLiteral("bob")}, 5000);
        layer->setManager(tree->manager.get());
        state.ResumeTiming();
        layer->loadDefaultMainWindow();
        RTMainWindow *window = layer->mainWindow();
        const QImage painted = window->grab().toImage();
        benchmark::DoNotOptimize(painted.constBits());
        state.PauseTiming();
        rows = window->currentController() ? window->currentController()->model().rowCount() : 0;
        layer.reset();
        tree.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_StartupToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(10);

// One frame of a 10,000-message list: 30 rows on screen, scrolled a screen further each
// time (new rows to lay out), and the same screen again (layouts cached).
void BM_PaintScreenOf30Rows(benchmark::State &state)
{
    const bool scrolling = state.range(0) != 0;
    RTWindowLayer layer;
    Tree tree({QStringLiteral("alice")}, 10000);
    RTTreeNode *home = tree.home(0);
    auto *controller = dynamic_cast<RTListViewController *>(home->listViewController());
    controller->bindNode(home);
    QWidget *page = controller->widget();
    RTMessageListView *view = controller->listView();
    page->resize(900, 400);
    page->show();
    QCoreApplication::processEvents();
    // Rows are 52-75 px here: find the height that holds 30 of them.
    const int rowHeight = view->sizeHintForRow(0);
    page->resize(900, rowHeight * 30);
    QCoreApplication::processEvents();
    view->doItemsLayout();
    QImage image(view->viewport()->size() * view->devicePixelRatio(),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(view->devicePixelRatio());
    QScrollBar *bar = view->verticalScrollBar();
    int position = 0;
    for (auto _ : state) {
        if (scrolling) {
            position += view->viewport()->height();
            if (position > bar->maximum())
                position = 0;
            bar->setValue(position);
        }
        view->viewport()->render(&image);
    }
    state.counters["rows"] = controller->model().rowCount();
    state.counters["viewport_px"] = view->viewport()->height();
}
BENCHMARK(BM_PaintScreenOf30Rows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A poll's 200 new messages spread over three accounts, until the outline rows show the
// new counts (the counts travel to the main thread queued).
void BM_OutlineTakesABatch(benchmark::State &state)
{
    Tree tree({QStringLiteral("alice"), QStringLiteral("bob"), QStringLiteral("carol")}, 2000);
    RTOutlineModel model(*tree.manager);
    int changes = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&changes] { ++changes; });
    quint64 next = 9000000;
    const QVariantMap force{{QStringLiteral("forceRemove"), true}};
    for (auto _ : state) {
        QList<RTMessagePtr> batch;
        state.PauseTiming();
        for (int i = 0; i < 200; ++i) {
            const quint64 id = next++;
            batch.append(tree.makeMessage(id, *tree.accounts.at(int(id % 3)), 10));
        }
        changes = 0;
        state.ResumeTiming();
        tree.manager->allTreeNodesAddMessages(batch, 55, {});
        QCoreApplication::processEvents();
        state.PauseTiming();
        if (changes == 0)
            state.SkipWithError("no outline row changed");
        tree.manager->allTreeNodesRemoveMessages(batch, 55, force);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows_changed"] = changes;
}
BENCHMARK(BM_OutlineTakesABatch)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
