#include "text/RTLinkHosts.h"

#include "text/RTMessageTextParser.h"

#include <QMutex>

namespace {
QMutex g_mutex;
RTLinkHostTables *g_tables = nullptr;
bool g_fromCompanion = false;
} // namespace

RTLinkHostTables RTLinkHosts::builtInTables()
{
    return {RTMessageTextParser::defaultShortenerHosts(), {}, {}};
}

RTLinkHostTables RTLinkHosts::tables()
{
    QMutexLocker lock(&g_mutex);
    return g_tables ? *g_tables : builtInTables();
}

void RTLinkHosts::setTables(const RTLinkHostTables &tables)
{
    RTLinkHostTables next = tables;
    if (next.shortenersList.isEmpty())
        next.shortenersList = builtInTables().shortenersList;
    QMutexLocker lock(&g_mutex);
    if (!g_tables)
        g_tables = new RTLinkHostTables;
    *g_tables = std::move(next);
    g_fromCompanion = !tables.shortenersList.isEmpty();
}

bool RTLinkHosts::fromCompanion()
{
    QMutexLocker lock(&g_mutex);
    return g_fromCompanion;
}
