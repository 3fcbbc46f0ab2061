#include "TestHttpServer.h"

#include "http/FormDataRequest.h"
#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// Checks bodies at the server, byte for byte.
class EchoServer
{
public:
    QUrl url() const { return m_server.url(QStringLiteral("/form")); }
    [[nodiscard]] QByteArray method() const
    {
        return m_server.last().requestLine.split(' ').value(0);
    }
    [[nodiscard]] QByteArray contentType() const { return m_server.last().header("Content-Type"); }
    [[nodiscard]] QByteArray contentLength() const
    {
        return m_server.last().header("Content-Length");
    }
    [[nodiscard]] QByteArray body() const { return m_server.last().body; }

private:
    RawCaptureServer m_server;
};

void run(FormDataRequest &r)
{
    r.setTimeOutSeconds(5);
    r.startSynchronous();
    ASSERT_TRUE(r.error().isNull()) << r.error().localizedDescription().toStdString();
    ASSERT_EQ(r.responseStatusCode(), 200);
}

} // namespace

TEST(FormDataRequest, UrlEncodedBodiesAreExact)
{
    EchoServer echo;
    const struct
    {
        QList<QPair<QString, QString>> fields;
        QByteArray expected;
    } cases[] = {
        {{{QStringLiteral("status"), QStringLiteral("hello")}}, "status=hello"},
        {{{QStringLiteral("a b"), QStringLiteral("x~y&z=1")}, {QStringLiteral("n"), QString()}},
         "a%20b=x%7Ey%26z%3D1&n="},
        {{{QStringLiteral("t"), QStringLiteral("caf\u00e9 \U0001F600 -._*")}},
         "t=caf%C3%A9%20%F0%9F%98%80%20-._%2A"},
        // Setting a field again replaces its value where it stands.
        {{{QStringLiteral("a"), QStringLiteral("1")},
          {QStringLiteral("b"), QStringLiteral("2")},
          {QStringLiteral("a"), QStringLiteral("3")}},
         "a=3&b=2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        FormDataRequest r(echo.url());
        for (const auto &f : c.fields)
            r.setPostValue(f.second, f.first);
        run(r);
        EXPECT_EQ(echo.method(), "POST");
        EXPECT_EQ(echo.contentType(), "application/x-www-form-urlencoded; charset=utf-8");
        EXPECT_EQ(echo.body(), c.expected);
        EXPECT_EQ(echo.contentLength(), QByteArray::number(c.expected.size()));
    }
}

TEST(FormDataRequest, MultipartBodiesAreExact)
{
    EchoServer echo;
    const QByteArray type = "multipart/form-data; charset=utf-8; boundary=0xKhTmLbOuNdArY";

    FormDataRequest two(echo.url());
    two.setPostFormat(FormDataRequest::MultipartFormDataPostFormat);
    two.setPostValue(QStringLiteral("one"), QStringLiteral("a"));
    two.setPostValue(QStringLiteral("two"), QStringLiteral("b"));
    run(two);
    EXPECT_EQ(echo.contentType(), type);
    EXPECT_EQ(echo.body(), QByteArray("--0xKhTmLbOuNdArY\r\n"
                                      "Content-Disposition: form-data; name=\"a\"\r\n\r\none"
                                      "\r\n--0xKhTmLbOuNdArY\r\n"
                                      "Content-Disposition: form-data; name=\"b\"\r\n\r\ntwo"
                                      "\r\n--0xKhTmLbOuNdArY--\r\n"));

    // A file part turns the body into multipart even in the URL-encoded format.
    FormDataRequest withFile(echo.url());
    withFile.setPostValue(QStringLiteral("hi"), QStringLiteral("message"));
    withFile.setData(QByteArray("\x00\x01\xff", 3), QStringLiteral("media"));
    withFile.setData("GIF89a", QStringLiteral("p.gif"), QStringLiteral("image/gif"),
                     QStringLiteral("pic"));
    run(withFile);
    EXPECT_EQ(echo.contentType(), type);
    EXPECT_EQ(echo.body(),
              QByteArray("--0xKhTmLbOuNdArY\r\n"
                         "Content-Disposition: form-data; name=\"message\"\r\n\r\nhi"
                         "\r\n--0xKhTmLbOuNdArY\r\n"
                         "Content-Disposition: form-data; name=\"media\"; filename=\"file\"\r\n"
                         "Content-Type: application/octet-stream; charset=utf-8\r\n\r\n") +
                  QByteArray("\x00\x01\xff", 3) +
                  QByteArray("\r\n--0xKhTmLbOuNdArY\r\n"
                             "Content-Disposition: form-data; name=\"pic\"; filename=\"p.gif\"\r\n"
                             "Content-Type: image/gif; charset=utf-8\r\n\r\nGIF89a"
                             "\r\n--0xKhTmLbOuNdArY--\r\n"));
}

TEST(FormDataRequest, MethodFilesAndRawBody)
{
    EchoServer echo;

    FormDataRequest put(echo.url());
    put.setRequestMethod(QStringLiteral("PUT"));
    put.setPostValue(QStringLiteral("1"), QStringLiteral("x"));
    run(put);
    EXPECT_EQ(echo.method(), "PUT");

    // Bytes appended by the caller go out as they are when there are no fields.
    FormDataRequest raw(echo.url());
    raw.appendPostData("{\"raw\":true}");
    run(raw);
    EXPECT_EQ(echo.method(), "POST");
    EXPECT_EQ(echo.body(), QByteArray("{\"raw\":true}"));
    EXPECT_EQ(echo.contentType(), "<none>");

    const QString path = testTempDir() + QStringLiteral("/upload.png");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x89PNG data");
    f.close();
    FormDataRequest file(echo.url());
    file.setFile(path, QStringLiteral("upload.png"), QString(), QStringLiteral("image"));
    run(file);
    EXPECT_TRUE(echo.body().contains("filename=\"upload.png\"\r\nContent-Type: image/png; "
                                     "charset=utf-8\r\n\r\n\x89PNG data\r\n"));

    FormDataRequest missing(echo.url());
    missing.setFile(testTempDir() + QStringLiteral("/nope.jpg"), QStringLiteral("nope.jpg"),
                    QString(), QStringLiteral("image"));
    missing.startSynchronous();
    EXPECT_EQ(missing.error().code(), HttpErrorCode::FileManagementError);
    EXPECT_EQ(missing.error().localizedDescription(),
              QStringLiteral("No file exists at %1/nope.jpg").arg(testTempDir()));
}
