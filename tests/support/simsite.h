#pragma once
// zephyrlock-sim on the site side with a site file of our own, and the JSON events it
// prints ("request" with --log-requests, "state"). Ended when the object goes away.

#include "zltest.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace zltest {

class tcSim
{
public:
    tcSim() = default;
    // A simulator in another namespace of the sandbox, such as the far site.
    explicit tcSim(const QString& netns) : m_process(netns) {}

    // devices: the site file's "devices" array, e.g. "[{...}, {...}]".
    bool start(const QByteArray& devices, const QStringList& args = {})
    {
        QFile site(m_dir.filePath(QStringLiteral("site.json")));
        if (!site.open(QIODevice::WriteOnly) || site.write("{\"devices\": " + devices + '}') < 0)
            return false;
        site.close();
        return m_process.start(binPath(QStringLiteral("zephyrlock-sim")),
                               QStringList{QStringLiteral("--site"), site.fileName()} + args,
                               QStringLiteral("\"event\":\"ready\""));
    }

    // Every event of this kind printed so far, in order.
    QList<QJsonObject> events(const char* event)
    {
        QList<QJsonObject> found;
        for (const QByteArray& line : m_process.output().split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object.value(QLatin1String("event")).toString() == QLatin1String(event))
                found << object;
        }
        return found;
    }

    tcSiteProcess& process() { return m_process; }

private:
    QTemporaryDir m_dir;
    tcSiteProcess m_process;
};

} // namespace zltest
