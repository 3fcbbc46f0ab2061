#pragma once

#include <QStringList>
#include <QVariantMap>
#include <memory>

// The hosts that short-link expansion and inline pictures know about: shortener domains,
// framing services (name -> {"domain", "method", "frame_id"}) and picture hosts (host ->
// {"thumbnail_url", "inline_url", "inline_logo", and optionally "domain" and a resolver
// key such as "inline_id"}). The companion service supplies them; until it does, the
// built-in tables serve. Safe from any thread.
class RTImagerSource;

struct RTLinkHostTables
{
    QStringList shortenersList;
    QVariantMap framers;
    QVariantMap imagers;
};

class RTLinkHosts
{
public:
    RTLinkHosts() = delete;

    [[nodiscard]] static RTLinkHostTables tables();
    // Replaces the tables; empty parts of the new tables keep the built-in ones.
    static void setTables(const RTLinkHostTables &tables);
    // The tables used before the companion service answered: the shortener hosts the text
    // parser knows, and no framers or picture hosts.
    [[nodiscard]] static RTLinkHostTables builtInTables();
    // The picture hosts of these tables, as the text parser asks for them.
    [[nodiscard]] static std::shared_ptr<const RTImagerSource> imagerSource();
    // Whether setTables has been called with a shortener list.
    [[nodiscard]] static bool fromCompanion();
};
