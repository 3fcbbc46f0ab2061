// talvoctl fetch: one request through the HTTP engine, for poking at servers by hand.
#include "CtlCommand.h"

#include "http/FormDataRequest.h"

#include <QFile>
#include <QFileInfo>

namespace {

// What the engine's error codes mean, for a person reading the output.
const char *errorKind(int code)
{
    switch (code) {
    case 1:
        return "connection failure";
    case 2:
        return "time-out";
    case 3:
        return "authentication needed";
    case 4:
        return "cancelled";
    case 5:
        return "bad URL";
    case 6:
        return "request could not be started";
    case 7:
        return "credentials could not be applied";
    case 8:
        return "file or decompression problem";
    case 9:
        return "too many redirects";
    case 10:
        return "internal error";
    default:
        return "error";
    }
}

int usage(QTextStream &err)
{
    err << "usage: talvoctl fetch [-X METHOD] [-H 'Name: value']... [-d name=value]... "
           "[--multipart] [--cacert FILE] [--timeout SECONDS] URL\n";
    return 2;
}

} // namespace

int cmdFetch(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString method;
    QList<QPair<QByteArray, QByteArray>> headers;
    QList<QPair<QString, QString>> fields;
    bool multipart = false;
    QString caBundle;
    double timeOut = 0;
    QString url;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("-X") && hasValue) {
            method = args[++i];
        } else if (a == QLatin1String("-H") && hasValue) {
            const QString h = args[++i];
            const qsizetype colon = h.indexOf(QLatin1Char(':'));
            if (colon <= 0)
                return usage(err);
            headers.append({h.left(colon).trimmed().toUtf8(), h.mid(colon + 1).trimmed().toUtf8()});
        } else if (a == QLatin1String("-d") && hasValue) {
            const QString d = args[++i];
            const qsizetype eq = d.indexOf(QLatin1Char('='));
            if (eq <= 0)
                return usage(err);
            fields.append({d.left(eq), d.mid(eq + 1)});
        } else if (a == QLatin1String("--multipart")) {
            multipart = true;
        } else if (a == QLatin1String("--cacert") && hasValue) {
            caBundle = args[++i];
        } else if (a == QLatin1String("--timeout") && hasValue) {
            bool ok = false;
            timeOut = args[++i].toDouble(&ok);
            if (!ok || timeOut <= 0)
                return usage(err);
        } else if (a.startsWith(QLatin1Char('-')) || !url.isEmpty()) {
            return usage(err);
        } else {
            url = a;
        }
    }
    if (url.isEmpty())
        return usage(err);

    std::shared_ptr<HttpRequest> request;
    if (!fields.isEmpty() || multipart) {
        auto form = FormDataRequest::requestWithURL(QUrl(url));
        for (const auto &f : fields)
            form->setPostValue(f.second, f.first);
        if (multipart)
            form->setPostFormat(FormDataRequest::MultipartFormDataPostFormat);
        request = form;
    } else {
        request = HttpRequest::requestWithURL(QUrl(url));
    }
    if (!method.isEmpty())
        request->setRequestMethod(method);
    for (const auto &h : headers)
        request->addRequestHeader(h.first, h.second);
    if (!caBundle.isEmpty()) {
        const QFileInfo bundle(caBundle);
        if (!bundle.isFile() || !bundle.isReadable()) {
            err << "talvoctl fetch: cannot read the CA bundle " << caBundle << "\n";
            return 2;
        }
        request->setCaBundle(caBundle);
    }
    if (timeOut > 0)
        request->setTimeOutSeconds(timeOut);

    request->startSynchronous();
    const HttpError error = request->error();
    const int status = request->responseStatusCode();
    // An answer, whatever its status, is shown whole: error bodies say why.
    if (status == 0) {
        const QUrl target = request->url();
        err << "error " << error.codeValue() << " (" << errorKind(error.codeValue())
            << "): " << error.localizedDescription() << "\n";
        if (error.codeValue() == 1 || error.codeValue() == 2)
            err << "host " << target.host() << ", port "
                << target.port(target.scheme() == QLatin1String("https") ? 443 : 80) << "\n";
        return 1;
    }
    out << status << ' ' << request->responseStatusMessage() << "\n";
    const QMap<QString, QString> responseHeaders = request->responseHeaders();
    for (auto it = responseHeaders.cbegin(); it != responseHeaders.cend(); ++it)
        out << it.key() << ": " << it.value() << "\n";
    out << "\n";
    out.flush();
    // The body goes out as bytes, whatever its encoding.
    // A failed exchange (a 401 the engine could not answer) keeps its body as it came.
    QByteArray body = request->responseData();
    if (body.startsWith("\x1f\x8b")) {
        const QByteArray inflated = HttpRequest::uncompressZippedData(body);
        if (!inflated.isEmpty())
            body = inflated;
    }
    QFile stdoutFile;
    if (stdoutFile.open(stdout, QIODevice::WriteOnly)) {
        stdoutFile.write(body);
        stdoutFile.flush();
    }
    if (!error.isNull())
        err << "error " << error.codeValue() << " (" << errorKind(error.codeValue())
            << "): " << error.localizedDescription() << "\n";
    if (status >= 400 || !error.isNull()) {
        err << "talvoctl fetch: the server answered " << status << "\n";
        return 1;
    }
    return 0;
}
