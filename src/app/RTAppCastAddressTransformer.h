#pragma once

#include <QString>
#include <QVariant>

// Binds the preferences' beta-versions switch to the update feed address: on is the beta
// feed, off the release feed.
class RTAppCastAddressTransformer
{
public:
    [[nodiscard]] static QString transformedValue(bool beta);
    // Only the beta feed's address reads back as on; anything else, or a non-string, off.
    [[nodiscard]] static bool reverseTransformedValue(const QVariant &feed);
};
