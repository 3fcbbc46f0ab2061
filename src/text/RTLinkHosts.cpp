#include "text/RTLinkHosts.h"

#include "text/RTImageContainerResolver.h"
#include "text/RTImagerSource.h"
#include "text/RTMessageTextParser.h"

#include <QMutex>

namespace {
QMutex g_mutex;
RTLinkHostTables *g_tables = nullptr;
bool g_fromCompanion = false;

class LinkHostImagers : public RTImagerSource
{
public:
    [[nodiscard]] QVariantMap imagers() const override { return RTLinkHosts::tables().imagers; }
    [[nodiscard]] bool isResolvableImageContainer(const QString &host) const override
    {
        return RTImageContainerResolver::isValidImageContainerDomainFromUrlString(
            QStringLiteral("http://%1/x").arg(host));
    }
};
} // namespace

std::shared_ptr<const RTImagerSource> RTLinkHosts::imagerSource()
{
    static const auto source = std::make_shared<LinkHostImagers>();
    return source;
}

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
