#pragma once

#include "platform/ListViewController.h"

#include <QStringList>

// A list view that records what nodes ask of it.
class FakeListView : public ListViewController
{
public:
    int state = StateDefault;
    bool onScreen = true;
    QStringList calls;

    [[nodiscard]] int listviewState() const override { return state; }
    void setListviewState(int s) override
    {
        state = s;
        calls << QStringLiteral("state %1").arg(s);
    }
    void setResizingEnabled(bool enabled) override
    {
        calls << QStringLiteral("resizing %1").arg(enabled ? "on" : "off");
    }
    void resizeViews() override { calls << QStringLiteral("resize"); }
    void resizeViewsAfter(int ms) override { calls << QStringLiteral("resize after %1").arg(ms); }
    void refresh() override { calls << QStringLiteral("refresh"); }
    void clearSelection() override { calls << QStringLiteral("clear selection"); }
    void focus() override { calls << QStringLiteral("focus"); }
    void collapseMessage(const QString &id) override { calls << QStringLiteral("collapse ") + id; }
    [[nodiscard]] bool isOnScreen() const override { return onScreen; }
};

// Hands out FakeListViews and keeps a pointer to each; installs itself while alive.
class FakeListViewFactory : public ListViewFactory
{
public:
    FakeListViewFactory() { ListViewFactory::setShared(this); }
    ~FakeListViewFactory() override { ListViewFactory::setShared(nullptr); }

    QList<FakeListView *> created;
    QStringList createdClasses;
    const ListViewController *current = nullptr;

    [[nodiscard]] std::unique_ptr<ListViewController>
    createListViewController(const QString &viewClass, const QString &, bool) override
    {
        auto view = std::make_unique<FakeListView>();
        created << view.get();
        createdClasses << viewClass;
        return view;
    }
    [[nodiscard]] bool isCurrentListView(const ListViewController *view) const override
    {
        return view == current;
    }
};
