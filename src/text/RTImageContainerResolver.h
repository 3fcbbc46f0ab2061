#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

class HttpRequest;

// Finds the picture inside a picture host's page. Which hosts have readable pages, and
// how, comes from the picture-host table: a record whose "domain" (else its host name)
// is the page's host and which names, under a resolver class's urlEncodeMethod key, how
// to find the picture. One answer per startResolving, on the main thread.
class RTImageContainerResolver : public QObject,
                                 public std::enable_shared_from_this<RTImageContainerResolver>
{
    Q_OBJECT
public:
    // The picture link, or empty when none was found.
    using Finished = std::function<void(const QString &imageLink)>;

    static constexpr qint64 kMaxPageBytes = 1024 * 1024;

    ~RTImageContainerResolver() override;

    [[nodiscard]] static bool isValidImageContainerDomainFromUrlString(const QString &url);
    [[nodiscard]] static std::shared_ptr<RTImageContainerResolver>
    resolverForUrlString(const QString &url);

    void startResolving(Finished finished);
    // The picture link in a page fetched from the page link, or empty.
    [[nodiscard]] virtual QString parseForLinkInResponseString(const QString &page) const = 0;

    [[nodiscard]] QString containedImageUrlString() const { return m_containedImageUrlString; }
    [[nodiscard]] QVariantMap imagerInfo() const { return m_imagerInfo; }

protected:
    RTImageContainerResolver(QString url, QVariantMap imagerInfo);

private:
    void requestDone(HttpRequest *request);

    QString m_containedImageUrlString;
    QVariantMap m_imagerInfo;
    Finished m_finished;
};

// Pages that show the picture in <img id="..."> with the id the record names under
// "inline_id".
class RTImageContainerResolverInlineId : public RTImageContainerResolver
{
    Q_OBJECT
public:
    RTImageContainerResolverInlineId(QString url, QVariantMap imagerInfo);
    [[nodiscard]] static QString urlEncodeMethod() { return QStringLiteral("inline_id"); }
    [[nodiscard]] QString parseForLinkInResponseString(const QString &page) const override;
};
