#include "Certificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

bool runOpenssl(const QStringList &args, const QString &dir, QString *error)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("openssl %1 failed: %2")
                         .arg(args.value(0), QString::fromUtf8(p.readAll()).trimmed());
        return false;
    }
    return true;
}

} // namespace

bool Certificates::ensure(const QString &dir, const QStringList &dnsNames, Certificates *out,
                          QString *error)
{
    const QDir d(dir);
    out->caPem = d.absoluteFilePath(QStringLiteral("ca.pem"));
    out->serverPem = d.absoluteFilePath(QStringLiteral("server.pem"));
    out->serverKey = d.absoluteFilePath(QStringLiteral("server.key"));
    const QString caKey = d.absoluteFilePath(QStringLiteral("ca.key"));
    const QString namesFile = d.absoluteFilePath(QStringLiteral("server.names"));

    QStringList names = dnsNames;
    names.sort();
    const QByteArray wantedNames = names.join(u',').toUtf8();
    QFile namesIn(namesFile);
    const bool namesMatch = namesIn.open(QIODevice::ReadOnly) && namesIn.readAll() == wantedNames;

    if (!QFile::exists(out->caPem) || !QFile::exists(caKey)) {
        if (!runOpenssl({"req", "-x509", "-newkey", "ec", "-pkeyopt",
                         "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", caKey, "-out",
                         out->caPem, "-days", "3650", "-subj", "/CN=Talvo Sandbox CA", "-addext",
                         "basicConstraints=critical,CA:TRUE", "-addext",
                         "keyUsage=critical,keyCertSign,cRLSign"},
                        dir, error))
            return false;
        QFile::remove(out->serverPem);
    }
    if (QFile::exists(out->serverPem) && QFile::exists(out->serverKey) && namesMatch)
        return true;

    const QString csr = d.absoluteFilePath(QStringLiteral("server.csr"));
    const QString ext = d.absoluteFilePath(QStringLiteral("server.ext"));
    if (!runOpenssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                     "-keyout", out->serverKey, "-out", csr, "-subj", "/CN=localhost"},
                    dir, error))
        return false;
    QStringList alt = {QStringLiteral("IP:127.0.0.1"), QStringLiteral("IP:::1")};
    for (const QString &n : names)
        alt << QStringLiteral("DNS:") + n;
    QFile extFile(ext);
    if (!extFile.open(QIODevice::WriteOnly)) {
        if (error)
            *error = extFile.errorString();
        return false;
    }
    extFile.write("subjectAltName=" + alt.join(u',').toUtf8() +
                  "\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                  "extendedKeyUsage=serverAuth\n");
    extFile.close();
    if (!runOpenssl({"x509", "-req", "-in", csr, "-CA", out->caPem, "-CAkey", caKey,
                     "-CAcreateserial", "-out", out->serverPem, "-days", "825", "-extfile", ext},
                    dir, error))
        return false;
    QFile::remove(csr);
    QFile namesOut(namesFile);
    if (namesOut.open(QIODevice::WriteOnly))
        namesOut.write(wantedNames);
    QFile::setPermissions(caKey, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(out->serverKey, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}
