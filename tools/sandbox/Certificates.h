#pragma once

#include <QString>
#include <QStringList>

// The sandbox's own certificate authority and server certificate, made with the openssl
// command on first start and kept in the data folder. P-256 keys: quick to make, so each
// test can start a fresh sandbox.
struct Certificates
{
    QString caPem;
    QString serverPem;
    QString serverKey;

    // Creates the files when missing (or when the server certificate lacks a name in
    // dnsNames). False with *error when openssl fails.
    static bool ensure(const QString &dir, const QStringList &dnsNames, Certificates *out,
                       QString *error);
};
