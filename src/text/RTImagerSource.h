#pragma once

#include <QString>
#include <QVariantMap>

// Where the parser learns the picture hosts: the companion service's table from host
// name to a record with "thumbnail_url", "inline_url" and "inline_logo", and whether the
// picture-page resolver can read a domain's pages. Without one installed the parser asks
// the link-host tables (RTLinkHosts).
class RTImagerSource
{
public:
    virtual ~RTImagerSource() = default;
    [[nodiscard]] virtual QVariantMap imagers() const = 0;
    [[nodiscard]] virtual bool isResolvableImageContainer(const QString &host) const = 0;
};

// One inline picture found in a message: what the inline-image object is made from.
// The picture itself is the image cache entry under the dotless form of inlineImageLink.
struct RTInlineImageInfo
{
    QString thumbnailURL;
    QString inlineImageLink;
    QString standardLink;
    QString logoName;

    bool operator==(const RTInlineImageInfo &) const = default;
};
