#pragma once

#include "model/RTMessage.h"

#include <QString>
#include <QVariantMap>
#include <memory>

// A filter of the companion service: a mute, a highlight or an automatic translation of
// one Twitter user or hashtag. Immutable once built from a service record, so workers may
// read it while the main thread replaces the live set.
class RTMessageFilter
{
public:
    virtual ~RTMessageFilter() = default;

    [[nodiscard]] QString filterId() const { return m_filterId; }
    void setFilterId(const QString &id) { m_filterId = id; }
    // A Twitter user id, or a hashtag with its "#".
    [[nodiscard]] QString factor() const { return m_factor; }
    void setFactor(const QString &factor) { m_factor = factor; }
    [[nodiscard]] QString network() const { return m_network; }
    void setNetwork(const QString &network) { m_network = network; }
    [[nodiscard]] bool isActive() const { return m_isActive; }
    void setIsActive(bool active) { m_isActive = active; }

    [[nodiscard]] virtual QString className() const = 0;
    [[nodiscard]] virtual QString description() const;

    // Reads a record's id: a whole number or a string of digits, as its decimal text.
    // Null when the value is neither.
    [[nodiscard]] static QString idString(const QVariant &value);
    // Reads a whole number not above max from a number or a digit string.
    [[nodiscard]] static bool readUnsigned(const QVariant &value, quint64 max, quint64 *out);
    // Longest factor a record may carry.
    static constexpr int kMaxFactorLength = 200;

protected:
    [[nodiscard]] QString fieldsDescription() const;
    // Fills the three shared fields from a record; false (with *error) when one is
    // missing or of the wrong type.
    bool readCommonFields(const QVariantMap &record, QString *error);

private:
    QString m_filterId;
    QString m_factor;
    QString m_network;
    bool m_isActive = true;
};

using RTMessageFilterPtr = std::shared_ptr<const RTMessageFilter>;
