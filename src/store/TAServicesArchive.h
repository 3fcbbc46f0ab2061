#pragma once

#include "accounts/RTService.h"

#include <QByteArray>
#include <QString>

// The services file: a keyed archive whose root is the array of services in registry
// order, each a map with "$class" and its coding keys. The service classes must be
// registered with ArchiveClassRegistry before decoding.
class TAServicesArchive
{
public:
    [[nodiscard]] static QByteArray encode(const RTServiceList &services);
    // Equal digests mean equal encodings (KeyedArchiver::isDigest()); taken before the
    // encoding it stands for, so a change made in between shows at the next comparison.
    [[nodiscard]] static QByteArray digest(const RTServiceList &services);

    struct Decoded
    {
        RTServiceList services;
        QString error; // empty when the whole file was read
    };
    // All or nothing: an archive with any damaged entry (unknown class, a key of the
    // wrong type, not a service) gives no services and the reason.
    [[nodiscard]] static Decoded decode(const QByteArray &data);
};
