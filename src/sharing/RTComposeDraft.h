#pragma once

#include <QString>
#include <QVariantMap>

// The draft of an open compose window, kept on disk while the user writes so that it
// survives a crash or a restart. Written atomically (a crash never leaves half a draft);
// a damaged or oversized file reads as no draft.
class RTComposeDraft
{
public:
    static constexpr qint64 kMaxDraftBytes = 64 * 1024;

    // folder: where the draft lives (empty: the application support folder).
    explicit RTComposeDraft(QString folder = QString());

    [[nodiscard]] QString path() const;
    // The account's service id and the line's state dictionary.
    bool save(const QString &serviceId, const QVariantMap &state) const;
    // False when there is no usable draft.
    bool load(QString *serviceId, QVariantMap *state) const;
    void remove() const;

private:
    QString m_folder;
};
