#include "ui/RTWindowExtensions.h"

#include <algorithm>

namespace {
std::vector<RTAccountKind> &kinds()
{
    static std::vector<RTAccountKind> list;
    return list;
}

std::vector<RTPreferencePane> &panes()
{
    static std::vector<RTPreferencePane> list;
    return list;
}

template<class T> void put(std::vector<T> &list, T item, const QString &key)
{
    const auto same = [&key](const T &t) {
        if constexpr (std::is_same_v<T, RTAccountKind>)
            return t.kind == key;
        else
            return t.id == key;
    };
    const auto it = std::find_if(list.begin(), list.end(), same);
    if (it != list.end())
        *it = std::move(item);
    else
        list.push_back(std::move(item));
    std::stable_sort(list.begin(), list.end(), [](const T &a, const T &b) {
        return a.order != b.order ? a.order < b.order : a.title < b.title;
    });
}
} // namespace

void RTWindowExtensions::registerAccountKind(RTAccountKind kind)
{
    const QString key = kind.kind;
    put(kinds(), std::move(kind), key);
}

void RTWindowExtensions::registerPreferencePane(RTPreferencePane pane)
{
    const QString key = pane.id;
    put(panes(), std::move(pane), key);
}

std::vector<RTAccountKind> RTWindowExtensions::accountKinds()
{
    return kinds();
}

std::vector<RTPreferencePane> RTWindowExtensions::preferencePanes()
{
    return panes();
}

void RTWindowExtensions::clearForTesting()
{
    kinds().clear();
    panes().clear();
}
