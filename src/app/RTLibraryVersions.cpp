#include "app/RTLibraryVersions.h"

#include <curl/curl.h>
#include <openssl/crypto.h>
#include <pugixml.hpp>
#include <zlib.h>
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

QList<RTAboutWindow::Library> talvoLibraryVersions()
{
    QList<RTAboutWindow::Library> libraries;
    libraries.append({QStringLiteral("Qt"), QString::fromLatin1(qVersion()),
                      QStringLiteral("GNU LGPL version 3")});
    const curl_version_info_data *curl = curl_version_info(CURLVERSION_NOW);
    libraries.append({QStringLiteral("libcurl"),
                      curl ? QString::fromLatin1(curl->version) : QString(),
                      QStringLiteral("curl licence (MIT style)")});
    libraries.append({QStringLiteral("OpenSSL"),
                      QString::fromLatin1(OpenSSL_version(OPENSSL_VERSION)),
                      QStringLiteral("Apache License 2.0")});
    PCRE2_UCHAR16 pcre[64] = {};
    QString pcreVersion;
    if (pcre2_config(PCRE2_CONFIG_VERSION, pcre) > 0)
        pcreVersion = QString::fromUtf16(reinterpret_cast<const char16_t *>(pcre));
    libraries.append({QStringLiteral("PCRE2"), pcreVersion,
                      QStringLiteral("BSD licence with the PCRE2 exception")});
    libraries.append({QStringLiteral("zlib"), QString::fromLatin1(zlibVersion()),
                      QStringLiteral("zlib licence")});
    libraries.append(
        {QStringLiteral("pugixml"),
         QStringLiteral("%1.%2").arg(PUGIXML_VERSION / 1000).arg(PUGIXML_VERSION % 1000 / 10),
         QStringLiteral("MIT licence")});
    libraries.append({QStringLiteral("libsecret"), QStringLiteral(TALVO_LIBSECRET_VERSION),
                      QStringLiteral("GNU LGPL version 2.1 or later")});
    libraries.append({QStringLiteral("libcanberra"), QStringLiteral(TALVO_LIBCANBERRA_VERSION),
                      QStringLiteral("GNU LGPL version 2.1 or later")});
    return libraries;
}
