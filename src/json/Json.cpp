#include "json/Json.h"

#include "foundation/Log.h"
#include "json/JsonReader.h"
#include "json/JsonWriter.h"

template<class Worker> void Json::takeTrace(const Worker &worker, JsonError *error)
{
    setErrorTrace(worker.errorTrace());
    if (error)
        *error = worker.firstError();
}

JsonValue Json::objectWithString(const QString &text, JsonError *error)
{
    JsonReader reader;
    reader.setMaxDepth(maxDepth());
    JsonValue v = reader.objectWithString(text);
    takeTrace(reader, error);
    return v;
}

JsonValue Json::objectWithString(const QByteArray &utf8, JsonError *error)
{
    JsonReader reader;
    reader.setMaxDepth(maxDepth());
    JsonValue v = reader.objectWithString(utf8);
    takeTrace(reader, error);
    return v;
}

JsonValue Json::fragmentWithString(const QString &text, JsonError *error)
{
    JsonReader reader;
    reader.setMaxDepth(maxDepth());
    JsonValue v = reader.fragmentWithString(text);
    takeTrace(reader, error);
    return v;
}

JsonValue Json::fragmentWithString(const QByteArray &utf8, JsonError *error)
{
    JsonReader reader;
    reader.setMaxDepth(maxDepth());
    JsonValue v = reader.fragmentWithString(utf8);
    takeTrace(reader, error);
    return v;
}

QString Json::stringWithObject(const QVariant &value, JsonError *error)
{
    JsonWriter writer;
    writer.setMaxDepth(maxDepth());
    writer.setHumanReadable(m_humanReadable);
    writer.setSortKeys(m_sortKeys);
    QString s = writer.stringWithObject(value);
    takeTrace(writer, error);
    return s;
}

QString Json::stringWithFragment(const QVariant &value, JsonError *error)
{
    JsonWriter writer;
    writer.setMaxDepth(maxDepth());
    writer.setHumanReadable(m_humanReadable);
    writer.setSortKeys(m_sortKeys);
    QString s = writer.stringWithFragment(value);
    takeTrace(writer, error);
    return s;
}

namespace {

template<class Input>
JsonValue readLogged(const Input &input, bool documentOnly, const char *message)
{
    JsonReader reader;
    JsonValue v = documentOnly ? reader.objectWithString(input) : reader.fragmentWithString(input);
    if (!v.isValid())
        qCWarning(lcJson).noquote() << message << reader.errorTraceText();
    return v;
}

QString writeLogged(const QVariant &value, bool documentOnly, const char *message)
{
    JsonWriter writer;
    QString s = documentOnly ? writer.stringWithObject(value) : writer.stringWithFragment(value);
    if (s.isNull())
        qCWarning(lcJson).noquote() << message << writer.errorTraceText();
    return s;
}

constexpr char kValueFailed[] = "-objectFromJSON failed. Error trace is:";
constexpr char kFragmentFailed[] = "-fragmentFromJSON failed. Error trace is:";

} // namespace

JsonValue objectFromJSON(const QString &text)
{
    return readLogged(text, true, kValueFailed);
}

JsonValue objectFromJSON(const QByteArray &utf8)
{
    return readLogged(utf8, true, kValueFailed);
}

JsonValue fragmentFromJSON(const QString &text)
{
    return readLogged(text, false, kFragmentFailed);
}

JsonValue fragmentFromJSON(const QByteArray &utf8)
{
    return readLogged(utf8, false, kFragmentFailed);
}

QString JSONText(const QVariant &value)
{
    return writeLogged(value, true, "-JSONText failed. Error trace is:");
}

QString fragmentJSONText(const QVariant &value)
{
    return writeLogged(value, false, "-fragmentJSONText failed. Error trace is:");
}
