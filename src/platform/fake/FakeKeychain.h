#pragma once

#include "platform/Keychain.h"

#include <QMutex>
#include <QStringList>
#include <map>
#include <optional>
#include <tuple>

// In-memory keychain for tests. forcedStatus makes every call fail the way a locked,
// refused or missing store does; calls records each operation's name.
class FakeKeychain : public Keychain
{
public:
    using Key = std::tuple<QString, QString, QString, QString>;

    Status forcedStatus = Status::Success;
    QStringList calls;
    std::map<Key, QString> items;

    static Key keyOf(const Attributes &a) { return {a.label, a.kind, a.account, a.service}; }

    Result findPassword(const Attributes &item) override
    {
        QMutexLocker lock(&m_mutex);
        calls << QStringLiteral("find");
        if (auto r = forced())
            return *r;
        const auto it = items.find(keyOf(item));
        if (it == items.end())
            return {Status::ItemNotFound, {}, {}};
        return {Status::Success, it->second, {}};
    }
    Result itemExists(const Attributes &item) override
    {
        QMutexLocker lock(&m_mutex);
        calls << QStringLiteral("exists");
        if (auto r = forced())
            return *r;
        return {items.count(keyOf(item)) ? Status::Success : Status::ItemNotFound, {}, {}};
    }
    Result addItem(const Attributes &item, const QString &password) override
    {
        QMutexLocker lock(&m_mutex);
        calls << QStringLiteral("add");
        if (auto r = forced())
            return *r;
        items[keyOf(item)] = password;
        return {};
    }
    Result modifyItem(const Attributes &item, const QString &password) override
    {
        QMutexLocker lock(&m_mutex);
        calls << QStringLiteral("modify");
        if (auto r = forced())
            return *r;
        const auto it = items.find(keyOf(item));
        if (it == items.end())
            return {Status::ItemNotFound, {}, {}};
        it->second = password;
        return {};
    }
    Result deleteItem(const Attributes &item) override
    {
        QMutexLocker lock(&m_mutex);
        calls << QStringLiteral("delete");
        if (auto r = forced())
            return *r;
        return {items.erase(keyOf(item)) ? Status::Success : Status::ItemNotFound, {}, {}};
    }
    Result deleteAllItems(const QString &label, const QString &kind) override
    {
        QMutexLocker lock(&m_mutex);
        calls << QStringLiteral("deleteAll");
        if (auto r = forced())
            return *r;
        for (auto it = items.begin(); it != items.end();) {
            if (std::get<0>(it->first) == label && std::get<1>(it->first) == kind)
                it = items.erase(it);
            else
                ++it;
        }
        return {};
    }

private:
    std::optional<Result> forced() const
    {
        if (forcedStatus == Status::Success)
            return std::nullopt;
        return Result{forcedStatus, {}, QStringLiteral("forced failure")};
    }
    QMutex m_mutex;
};
