// zephyrlock-sim's ONVIF device service: the handler called directly with requests the
// scanner's codec builds and replies its readers take back, then a short run on the wire
// (site side) for what only HTTP shows: the Digest challenge, the clock read without a
// login, and a reboot that takes the device away for its rebootSecs.
#include "tcOnvifDeviceCodec.h"
#include "tcSimDevice.h"
#include "tcSimOnvifService.h"
#include "zltest.h"

#include <QtTest>

namespace onvif = tcOnvifDevice;

namespace {

const QDateTime kNow(QDate(2026, 3, 14), QTime(12, 0, 0), Qt::UTC);
const QByteArray kCamera =
    R"("kind": "onvif", "address": "10.99.3.10", "users": {"admin": "Adm1n-pw", "viewer": "View-pw1"})";
const QMap<QString, QString> kPasswords = {{"admin", "Adm1n-pw"}, {"viewer", "View-pw1"}};

// One device through the site file reader, so that its keys are read as a site gives them.
std::unique_ptr<tcSimDevice> device(const QByteArray& keys = kCamera, QString* error = nullptr)
{
    tcSimDevices devices;
    QString why;
    if (!loadSiteJson("{\"devices\": [{" + keys + "}]}", devices, &why)) {
        if (error)
            *error = why;
        else
            qWarning() << why;
        return nullptr;
    }
    return std::move(devices.front());
}

tcSimOnvifResponse call(tcSimDevice& d, const QByteArray& operation, const QString& user = QString(),
                        const QString& httpUser = QString())
{
    std::optional<onvif::tcUsernameToken> token;
    if (!user.isEmpty()) // a client that has read the device's clock first, as it should
        token = onvif::makeToken(user, kPasswords.value(user), onvif::freshNonce(),
                                 onvif::deviceNow(kNow, d.clockOffsetMs));
    return handleOnvifRequest(d, onvif::request(operation, token), httpUser, kNow);
}

// The innermost fault subcode; empty for a reply that is no fault.
QString detail(const tcSimOnvifResponse& r)
{
    const onvif::tcReply reply = onvif::parseReply(r.body);
    return reply.kind == onvif::tcReply::Fault ? reply.fault.detail() : QString();
}

QString sha256(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

// A value of the state line by path ("network/staticIp"), as text.
QString stateText(const tcSimDevice& d, const QString& path)
{
    QJsonValue value = d.stateJson();
    for (const QString& step : path.split(QLatin1Char('/')))
        value = value.toObject().value(step);
    if (value.isArray() || value.isObject())
        return QString::fromUtf8(
            QJsonDocument::fromVariant(value.toVariant()).toJson(QJsonDocument::Compact));
    return value.toVariant().toString();
}

int prefixOf(const QString& mask)
{
    return int(qPopulationCount(QHostAddress(mask).toIPv4Address()));
}

} // namespace

class tst_SimOnvif : public QObject
{
    Q_OBJECT

    zltest::tcSiteProcess m_sim;
    QTemporaryDir m_dir;

    struct tcPost
    {
        int status = -1; // 0: no HTTP answer at all
        QByteArray body;
    };
    // POSTs a SOAP body with curl, a client we did not write.
    tcPost post(const QString& address, const QByteArray& body, const QStringList& extra = {},
                const QString& contentType = "application/soap+xml; charset=utf-8")
    {
        QProcess p;
        p.start("curl", QStringList{"-s", "--max-time", "2", "-w", "\n%{http_code}", "-H",
                                    "Content-Type: " + contentType, "--data-binary", "@-"} +
                            extra + QStringList{"http://" + address + "/onvif/device_service"});
        p.write(body);
        p.closeWriteChannel();
        tcPost r;
        if (!p.waitForFinished(5000))
            return r;
        const QByteArray out = p.readAllStandardOutput();
        const int cut = out.lastIndexOf('\n');
        r.status = out.mid(cut + 1).toInt();
        r.body = out.left(cut);
        return r;
    }
    QList<QJsonObject> events(const QString& event)
    {
        QList<QJsonObject> list;
        for (const QByteArray& line : m_sim.output().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value("event").toString() == event)
                list << o;
        }
        return list;
    }

private slots:
    void siteKeys_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<QString>("error"); // part of the load error; empty: it loads, and the state shows
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("value");
        const struct
        {
            const char *tag, *keys, *error, *path, *value;
        } rows[] = {
            {"defaults", "", "", "onvifAuth", "token"},
            {"default clock", "", "", "clockOffsetSecs", "0"},
            {"digest", R"(, "onvifAuth": "digest")", "", "onvifAuth", "digest"},
            {"unknown login", R"(, "onvifAuth": "kerberos")", "onvifAuth", "", ""},
            {"clock an hour ahead", R"(, "clockOffset": 3600)", "", "clockOffsetSecs", "3600"},
            {"clock as text", R"(, "clockOffset": "1h")", "clockOffset", "", ""},
            {"negative reboot time", R"(, "rebootSecs": -1)", "rebootSecs", "", ""},
            {"reboot needed as text", R"(, "rebootNeeded": "yes")", "rebootNeeded", "", ""},
            {"factory-new", R"(, "onvifNoUsers": true)", "", "passwordSha256", "{}"},
            {"factory-new with users", R"(, "onvifNoUsers": true, "users": {"a": "x"})", "onvifNoUsers", "",
             ""},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << QByteArray(R"("kind": "onvif", "address": "10.99.3.10")") + row.keys
                                   << QString(row.error) << QString(row.path) << QString(row.value);
        QTest::newRow("no ONVIF state without ONVIF")
            << QByteArray(R"("kind": "pq-recorder", "address": "10.9.3.1")") << QString()
            << QString("onvifAuth") << QString();
    }
    void siteKeys()
    {
        QFETCH(QByteArray, keys);
        QFETCH(QString, error);
        QFETCH(QString, path);
        QFETCH(QString, value);
        QString why;
        const auto d = device(keys, &why);
        QVERIFY2(bool(d) == error.isEmpty() && why.contains(error), qPrintable(why));
        if (d)
            QCOMPARE(stateText(*d, path), value);
    }

    void tokenLogin_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<qint64>("shiftSecs"); // of Created, from the device's own clock
        QTest::addColumn<bool>("clearText");
        QTest::addColumn<QString>("verdict");
        const qint64 window = onvif::kCreatedWindowSecs;
        const struct
        {
            const char *tag, *user, *password;
            qint64 shift;
            bool clearText;
            const char* verdict;
        } rows[] = {
            {"device's clock", "admin", "Adm1n-pw", 0, false, "ok"},
            {"clock offset ignored", "admin", "Adm1n-pw", -3600, false, "outside the device's window"},
            {"just inside the window", "admin", "Adm1n-pw", window - 1, false, "ok"},
            {"just outside the window", "admin", "Adm1n-pw", -window - 1, false,
             "outside the device's window"},
            {"wrong password", "admin", "wrong", 0, false, "wrong token digest"},
            {"unknown user", "ghost", "Adm1n-pw", 0, false, "unknown user"},
            {"no token", "", "", 0, false, "no UsernameToken"},
            {"clear-text password", "admin", "Adm1n-pw", 0, true, "clear-text token password"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << kCamera + R"(, "clockOffset": 3600)" << QString(row.user)
                                   << QString(row.password) << row.shift << row.clearText
                                   << QString(row.verdict);
        QTest::newRow("device refusing every login")
            << kCamera + R"(, "fault": "wrong-credentials")" << QString("admin") << QString("Adm1n-pw")
            << qint64(0) << false << QString("refuses every login");
    }
    void tokenLogin()
    {
        QFETCH(QByteArray, keys);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(qint64, shiftSecs);
        QFETCH(bool, clearText);
        QFETCH(QString, verdict);
        const auto d = device(keys);
        QVERIFY(d);
        std::optional<onvif::tcUsernameToken> token;
        if (!user.isEmpty())
            token = onvif::makeToken(user, password, onvif::freshNonce(),
                                     onvif::deviceNow(kNow, d->clockOffsetMs).addSecs(shiftSecs));
        QByteArray body = onvif::request(onvif::getDeviceInformation(), token);
        if (clearText) {
            const QByteArray digestForm = "#PasswordDigest\">" + token->digest;
            QVERIFY(body.contains(digestForm));
            body.replace(digestForm, "#PasswordText\">" + password.toUtf8());
        }
        const tcSimOnvifResponse r = handleOnvifRequest(*d, body, QString(), kNow);
        QVERIFY2(r.log.value("login").toString().contains(verdict),
                 qPrintable(r.log.value("login").toString()));
        QVERIFY(!r.challenge);
        if (verdict != "ok") {
            QCOMPARE(r.status, 400);
            QCOMPARE(detail(r), QString("NotAuthorized"));
            return;
        }
        QCOMPARE(r.status, 200);
        const auto info = onvif::deviceInformation(onvif::parseReply(r.body));
        QVERIFY(info);
        QCOMPARE(info->model, d->model);
        QCOMPARE(info->firmware, d->firmware);
        QCOMPARE(info->serial, d->macHex().toUpper());
    }

    // The clock is read before any login, whatever the login mode and however wrong it is.
    void clockBeforeLogin_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<qint64>("offsetSecs");
        QTest::newRow("token, exact") << kCamera << qint64(0);
        QTest::newRow("token, an hour ahead") << kCamera + R"(, "clockOffset": 3600)" << qint64(3600);
        QTest::newRow("digest, 400 days behind")
            << kCamera + R"(, "onvifAuth": "digest", "clockOffset": -34560000)" << qint64(-34560000);
        QTest::newRow("both") << kCamera + R"(, "onvifAuth": "both", "clockOffset": 59)" << qint64(59);
        QTest::newRow("refusing every login")
            << kCamera + R"(, "fault": "wrong-credentials", "clockOffset": 7)" << qint64(7);
    }
    void clockBeforeLogin()
    {
        QFETCH(QByteArray, keys);
        QFETCH(qint64, offsetSecs);
        const auto d = device(keys);
        QVERIFY(d);
        const tcSimOnvifResponse r = call(*d, onvif::getSystemDateAndTime());
        QCOMPARE(r.status, 200);
        const auto clock = onvif::systemDateAndTime(onvif::parseReply(r.body));
        QVERIFY(clock);
        QCOMPARE(clock->type, QString("Manual"));
        QCOMPARE(clock->timeZone, QString("GMT0"));
        QCOMPARE(clock->utc, kNow.addSecs(offsetSecs));
        // what the scanner derives from it is the device's offset
        QCOMPARE(onvif::clockOffsetMs(clock->utc, kNow, kNow), offsetSecs * 1000);
    }

    void loginModes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("httpUser"); // whom the server's Digest check let in
        QTest::addColumn<QString>("tokenUser");
        QTest::addColumn<int>("status");
        const struct
        {
            const char *tag, *mode, *httpUser, *tokenUser;
            int status;
        } rows[] = {
            {"digest, logged in", "digest", "admin", "", 200},
            {"digest, no login: challenge", "digest", "", "", 401},
            {"digest, a token is no HTTP login", "digest", "", "admin", 401},
            {"both, Digest only", "both", "admin", "", 400},
            {"both, token only", "both", "", "admin", 401},
            {"both, both", "both", "admin", "admin", 200},
            {"token, an HTTP login does not count", "token", "admin", "", 400},
            {"none", "none", "", "", 200},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << QString(row.mode) << QString(row.httpUser) << QString(row.tokenUser)
                                   << row.status;
    }
    void loginModes()
    {
        QFETCH(QString, mode);
        QFETCH(QString, httpUser);
        QFETCH(QString, tokenUser);
        QFETCH(int, status);
        const auto d = device(kCamera + ", \"onvifAuth\": \"" + mode.toUtf8() + '"');
        QVERIFY(d);
        const tcSimOnvifResponse r = call(*d, onvif::getUsers(), tokenUser, httpUser);
        QCOMPARE(r.status, status);
        QCOMPARE(r.challenge, status == 401);
        // The server is asked for a Digest check exactly when the mode has an HTTP part.
        QCOMPARE(d->authFor(kSimOnvifPath) == tcSimAuth::Digest, mode == "digest" || mode == "both");
        if (status == 200)
            QCOMPARE(int(onvif::users(onvif::parseReply(r.body))->size()), d->users.size());
        else
            QCOMPARE(detail(r), QString("NotAuthorized"));
    }

    void factoryNew()
    {
        const auto d = device(R"("kind": "onvif", "address": "10.99.3.10", "onvifNoUsers": true)");
        QVERIFY(d);
        // no users, no login: everything is let in, writes too
        tcSimOnvifResponse r = call(*d, onvif::getUsers());
        QCOMPARE(r.status, 200);
        QVERIFY(onvif::users(onvif::parseReply(r.body))->empty());
        QCOMPARE(call(*d, onvif::setNetworkDefaultGateway({"10.99.0.254"})).status, 200);
        QCOMPARE(d->network.value("staticIpRoute"), QString("10.99.0.254"));

        r = call(
            *d, onvif::createUsers({{"admin", "Adm1n-pw", "Administrator"}, {"viewer", "View-pw1", "User"}}));
        QCOMPARE(r.status, 200);
        QCOMPARE(stateText(*d, "passwordSha256/admin"), sha256("Adm1n-pw"));

        // from now on a login is needed, and the new users' levels count
        QCOMPARE(detail(call(*d, onvif::getUsers())), QString("NotAuthorized"));
        QCOMPARE(detail(call(*d, onvif::getUsers(), "viewer")), QString("NotAuthorized"));
        r = call(*d, onvif::getUsers(), "admin");
        QCOMPARE(r.status, 200);
        const auto users = onvif::users(onvif::parseReply(r.body));
        QVERIFY(users);
        QCOMPARE(int(users->size()), 2);
        QCOMPARE(users->at(0).name + ' ' + users->at(0).level, QString("admin Administrator"));
        QCOMPARE(users->at(1).name + ' ' + users->at(1).level, QString("viewer User"));
    }

    void users_data()
    {
        QTest::addColumn<QString>("caller");
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<QString>("fault"); // empty: accepted
        QTest::addColumn<QString>("user");  // afterwards this user has this password ("": none) and level
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("level");
        using U = onvif::tcUser;
        const QByteArray emptyPassword =
            "<tds:SetUser><tds:User><tt:Username>viewer</tt:Username><tt:Password>"
            "</tt:Password><tt:UserLevel>User</tt:UserLevel></tds:User></tds:SetUser>";
        QByteArray secondUnknown = onvif::setUser(U{"viewer", "Chg-pw-3", "User"});
        secondUnknown.insert(
            secondUnknown.indexOf("</tds:SetUser>"),
            "<tds:User><tt:Username>ghost</tt:Username><tt:UserLevel>User</tt:UserLevel></tds:User>");
        const struct
        {
            const char* tag;
            const char* caller;
            QByteArray operation;
            const char *fault, *user, *password, *level;
        } rows[] = {
            {"admin sets another's password", "admin", onvif::setUser(U{"viewer", "New-pw-2", "User"}), "",
             "viewer", "New-pw-2", "User"},
            {"user sets own password", "viewer", onvif::setUser(U{"viewer", "New-pw-2", "User"}), "",
             "viewer", "New-pw-2", "User"},
            {"user sets the admin's password", "viewer",
             onvif::setUser(U{"admin", "Taken-1", "Administrator"}), "NotAuthorized", "admin", "Adm1n-pw",
             "Administrator"},
            {"user raises own level", "viewer", onvif::setUser(U{"viewer", "View-pw1", "Administrator"}),
             "NotAuthorized", "viewer", "View-pw1", "User"},
            {"admin changes a level", "admin", onvif::setUser(U{"viewer", "View-pw1", "Operator"}), "",
             "viewer", "View-pw1", "Operator"},
            {"unknown user", "admin", onvif::setUser(U{"ghost", "Gh0st-pw", "User"}), "UsernameMissing",
             "ghost", "", "User"},
            {"empty password", "admin", emptyPassword, "PasswordTooWeak", "viewer", "View-pw1", "User"},
            {"second user unknown: first unchanged", "admin", secondUnknown, "UsernameMissing", "viewer",
             "View-pw1", "User"},
            {"create an operator", "admin", onvif::createUsers({U{"op", "Oper-pw1", "Operator"}}), "", "op",
             "Oper-pw1", "Operator"},
            {"create an existing name", "admin", onvif::createUsers({U{"viewer", "Other-pw1", "User"}}),
             "UsernameClash", "viewer", "View-pw1", "User"},
            {"create one name twice", "admin",
             onvif::createUsers({U{"op", "Oper-pw1", "User"}, U{"op", "Oper-pw2", "User"}}), "UsernameClash",
             "op", "", "User"},
            {"create as a user", "viewer", onvif::createUsers({U{"op", "Oper-pw1", "User"}}), "NotAuthorized",
             "op", "", "User"},
            {"create anonymous", "admin", onvif::createUsers({U{"anon", "An0n-pw1", "Anonymous"}}),
             "AnonymousNotAllowed", "anon", "", "User"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << QString(row.caller) << row.operation << QString(row.fault)
                                   << QString(row.user) << QString(row.password) << QString(row.level);
    }
    void users()
    {
        QFETCH(QString, caller);
        QFETCH(QByteArray, operation);
        QFETCH(QString, fault);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, level);
        const auto d = device();
        QVERIFY(d);
        const tcSimOnvifResponse r = call(*d, operation, caller);
        QCOMPARE(detail(r), fault);
        QCOMPARE(r.status, fault.isEmpty() ? 200 : 400);
        QCOMPARE(r.changed, fault.isEmpty());
        QCOMPARE(d->users.contains(user), !password.isEmpty());
        QCOMPARE(d->users.value(user), password);
        QCOMPARE(d->userLevel(user), level);
    }

    // With an HTTP Digest login, the HTTP user's level decides.
    void levels_data()
    {
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<bool>("userMay");
        QTest::newRow("GetDeviceInformation") << onvif::getDeviceInformation() << true;
        QTest::newRow("GetNetworkInterfaces") << onvif::getNetworkInterfaces() << true;
        QTest::newRow("GetUsers") << onvif::getUsers() << false;
        QTest::newRow("SetNTP") << onvif::setNtp({}) << false;
        QTest::newRow("SystemReboot") << onvif::systemReboot() << false;
    }
    void levels()
    {
        QFETCH(QByteArray, operation);
        QFETCH(bool, userMay);
        const auto d = device(kCamera + R"(, "onvifAuth": "digest")");
        QVERIFY(d);
        QCOMPARE(call(*d, operation, QString(), "viewer").status, userMay ? 200 : 400);
        QCOMPARE(d->reboots, 0);
        QCOMPARE(call(*d, operation, QString(), "admin").status, 200);
    }

    void networkInterfaces_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("dhcp");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("prefix");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("rebootNeeded");
        QTest::addColumn<QString>("before"); // what discovery names before a reboot
        QTest::addColumn<QString>("after");  // and after one
        QTest::addColumn<QString>("mask");   // the configuration's after the reboot
        const struct
        {
            const char *tag, *keys, *token;
            bool dhcp;
            const char* address;
            int prefix;
            const char* fault;
            bool rebootNeeded;
            const char *before, *after, *mask;
        } rows[] = {
            {"static, at once", "", "eth0", false, "10.99.3.77", 24, "", false, "10.99.3.77", "10.99.3.77",
             "255.255.255.0"},
            {"DHCP keeps the address", "", "eth0", true, "", 0, "", false, "10.99.3.10", "10.99.3.10",
             "255.255.0.0"},
            {"after a reboot", R"(, "rebootNeeded": true)", "eth0", false, "10.99.3.77", 20, "", true,
             "10.99.3.10", "10.99.3.77", "255.255.240.0"},
            {"a write that does not take", R"(, "keepsAddress": true)", "eth0", false, "10.99.3.77", 24, "",
             false, "10.99.3.10", "10.99.3.10", "255.255.0.0"},
            {"unknown interface", "", "eth1", false, "10.99.3.77", 24, "InvalidNetworkInterface", false,
             "10.99.3.10", "10.99.3.10", "255.255.0.0"},
            {"no dotted quad", "", "eth0", false, "10.99.300.1", 24, "InvalidIPv4Address", false,
             "10.99.3.10", "10.99.3.10", "255.255.0.0"},
            {"leading zero", "", "eth0", false, "10.99.03.1", 24, "InvalidIPv4Address", false, "10.99.3.10",
             "10.99.3.10", "255.255.0.0"},
            {"no address", "", "eth0", false, "0.0.0.0", 24, "InvalidIPv4Address", false, "10.99.3.10",
             "10.99.3.10", "255.255.0.0"},
            {"multicast", "", "eth0", false, "224.1.1.1", 24, "InvalidIPv4Address", false, "10.99.3.10",
             "10.99.3.10", "255.255.0.0"},
            {"prefix 0", "", "eth0", false, "10.99.3.77", 0, "InvalidIPv4Address", false, "10.99.3.10",
             "10.99.3.10", "255.255.0.0"},
            {"prefix 33", "", "eth0", false, "10.99.3.77", 33, "InvalidIPv4Address", false, "10.99.3.10",
             "10.99.3.10", "255.255.0.0"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << kCamera + row.keys << QString(row.token) << row.dhcp
                                   << QString(row.address) << row.prefix << QString(row.fault)
                                   << row.rebootNeeded << QString(row.before) << QString(row.after)
                                   << QString(row.mask);
    }
    void networkInterfaces()
    {
        QFETCH(QByteArray, keys);
        QFETCH(QString, token);
        QFETCH(bool, dhcp);
        QFETCH(QString, address);
        QFETCH(int, prefix);
        QFETCH(QString, fault);
        QFETCH(bool, rebootNeeded);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, mask);
        const auto d = device(keys);
        QVERIFY(d);
        tcSimOnvifResponse r = call(*d, onvif::setNetworkInterfaces(token, {dhcp, address, prefix}), "admin");
        QCOMPARE(detail(r), fault);
        if (fault.isEmpty())
            QCOMPARE(onvif::rebootNeeded(onvif::parseReply(r.body)), std::optional<bool>(rebootNeeded));
        QCOMPARE(d->reportedAddress().toString(), before);

        r = call(*d, onvif::systemReboot(), "admin");
        QVERIFY(r.rebootRequested && d->rebooting && d->quiet());
        QCOMPARE(d->reboots, 1);
        finishReboot(*d);
        QVERIFY(!d->rebooting);
        QCOMPARE(d->reportedAddress().toString(), after);

        // what the scanner reads back
        const auto list = onvif::networkInterfaces(
            onvif::parseReply(call(*d, onvif::getNetworkInterfaces(), "admin").body));
        QVERIFY(list);
        QCOMPARE(int(list->size()), 1);
        const onvif::tcNetworkInterface& eth0 = list->front();
        QCOMPARE(eth0.token, QString("eth0"));
        QVERIFY(eth0.enabled && eth0.ipv4Enabled);
        QCOMPARE(eth0.mac, d->macText());
        const bool dhcpNow = fault.isEmpty() && dhcp && !keys.contains("keepsAddress");
        QCOMPARE(eth0.dhcp, dhcpNow);
        QCOMPARE(d->network.value("staticIpMask"), mask);
        QCOMPARE(eth0.manualPrefix, prefixOf(mask));
        QCOMPARE(eth0.manualAddress, after); // DHCP keeps the static address configured
        QCOMPARE(eth0.dhcpAddress, dhcpNow ? d->address.toString() : QString());
    }

    void otherSettings_data()
    {
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("path"); // in the state line afterwards
        QTest::addColumn<QString>("value");
        const struct
        {
            const char* tag;
            QByteArray operation;
            const char *fault, *path, *value;
        } rows[] = {
            {"gateway", onvif::setNetworkDefaultGateway({"10.99.0.254"}), "", "network/staticIpRoute",
             "10.99.0.254"},
            {"bad gateway", onvif::setNetworkDefaultGateway({"10.99.0.256"}), "InvalidGatewayAddress",
             "network/staticIpRoute", "10.99.0.1"},
            {"DNS servers", onvif::setDns({"10.99.0.53", "10.99.0.54"}), "", "network/dnsServer2",
             "10.99.0.54"},
            {"DNS manual", onvif::setDns({"10.99.0.53"}), "", "network/dnsFromDhcpSwitch", "false"},
            {"DNS from DHCP", onvif::setDns({}), "", "network/dnsFromDhcpSwitch", "true"},
            {"bad DNS server", onvif::setDns({"10.99.0.0.1"}), "InvalidIPv4Address", "network/dnsServer1",
             "10.99.0.1"},
            {"NTP servers", onvif::setNtp({"10.99.0.123", "ntp.example.org"}), "", "ntpServers",
             R"(["10.99.0.123","ntp.example.org"])"},
            {"NTP manual", onvif::setNtp({"10.99.0.123"}), "", "ntpFromDhcp", "false"},
            {"bad NTP name", onvif::setNtp({"ntp..example.org"}), "InvalidDnsName", "ntpServers", "[]"},
            {"unknown operation", "<tds:GetServices/>", "ActionNotSupported", "network/staticIpRoute",
             "10.99.0.1"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << row.operation << QString(row.fault) << QString(row.path)
                                   << QString(row.value);
    }
    void otherSettings()
    {
        QFETCH(QByteArray, operation);
        QFETCH(QString, fault);
        QFETCH(QString, path);
        QFETCH(QString, value);
        const auto d = device();
        QVERIFY(d);
        const tcSimOnvifResponse r = call(*d, operation, "admin");
        QCOMPARE(detail(r), fault);
        // a fault the request caused is the sender's; an operation the device lacks is its own
        QCOMPARE(r.status, fault.isEmpty() ? 200 : fault == "ActionNotSupported" ? 500 : 400);
        QCOMPARE(stateText(*d, path), value);
    }

    void setDateTime_data()
    {
        QTest::addColumn<bool>("ntp");
        QTest::addColumn<QString>("timeZone"); // "-": left out
        QTest::addColumn<QDateTime>("utc");
        QTest::addColumn<QByteArray>("from"); // a change made to the request
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<qint64>("offsetSecs"); // the device's clock afterwards
        QTest::addColumn<QString>("zone");
        const char* cet = "CET-1CEST,M3.5.0,M10.5.0/3";
        const QDateTime feb28(QDate(2026, 2, 28), QTime(23, 0), Qt::UTC);
        const struct
        {
            const char* tag;
            bool ntp;
            const char* timeZone;
            QDateTime utc;
            const char *from, *to, *fault;
            qint64 offset;
            const char* zone;
        } rows[] = {
            {"manual, two hours ahead", false, cet, kNow.addSecs(7200), "", "", "", 7200, cet},
            {"manual, zone kept", false, "-", kNow.addSecs(-30), "", "", "", -30, "GMT0"},
            {"NTP is exact", true, "UTC0", QDateTime(), "", "", "", 0, "UTC0"},
            {"30 February", false, cet, feb28, "<tt:Day>28<", "<tt:Day>30<", "InvalidDateTime", 3600, "GMT0"},
            {"hour 24", false, cet, feb28, "<tt:Hour>23<", "<tt:Hour>24<", "InvalidDateTime", 3600, "GMT0"},
            {"manual without a time", false, cet, kNow, "tds:UTCDateTime", "tds:Other", "InvalidDateTime",
             3600, "GMT0"},
            {"no POSIX zone", false, "Berlin", kNow, "", "", "InvalidTimeZone", 3600, "GMT0"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << row.ntp << QString(row.timeZone) << row.utc << QByteArray(row.from)
                                   << QByteArray(row.to) << QString(row.fault) << row.offset
                                   << QString(row.zone);
    }
    void setDateTime()
    {
        QFETCH(bool, ntp);
        QFETCH(QString, timeZone);
        QFETCH(QDateTime, utc);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, fault);
        QFETCH(qint64, offsetSecs);
        QFETCH(QString, zone);
        const auto d = device(kCamera + R"(, "clockOffset": 3600)");
        QVERIFY(d);
        onvif::tcDateTimeSetting setting;
        setting.ntp = ntp;
        setting.daylightSavings = true;
        if (timeZone != "-")
            setting.timeZone = timeZone;
        setting.utc = utc;
        QByteArray operation = onvif::setSystemDateAndTime(setting);
        QVERIFY(operation.contains(from));
        if (!from.isEmpty())
            operation.replace(from, to);
        QCOMPARE(detail(call(*d, operation, "admin")), fault);
        QCOMPARE(d->clockOffsetMs, offsetSecs * 1000);

        // a minute later the device's clock has run on from where it was set
        const tcSimOnvifResponse r = handleOnvifRequest(*d, onvif::request(onvif::getSystemDateAndTime()),
                                                        QString(), kNow.addSecs(60));
        const auto clock = onvif::systemDateAndTime(onvif::parseReply(r.body));
        QVERIFY(clock);
        QCOMPARE(clock->utc, kNow.addSecs(60 + offsetSecs));
        QCOMPARE(clock->type, QString(ntp && fault.isEmpty() ? "NTP" : "Manual"));
        QCOMPARE(clock->timeZone, zone);
        QCOMPARE(clock->daylightSavings, fault.isEmpty());
        QCOMPARE(stateText(*d, "clockOffsetSecs"), QString::number(offsetSecs));
    }

    void playedFaults_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("kind"); // tcReply::Kind
        QTest::addColumn<QString>("fault");
        const QByteArray info = onvif::request(onvif::getDeviceInformation());
        const QByteArray clock = onvif::request(onvif::getSystemDateAndTime());
        const int ok = onvif::tcReply::Ok, fault = onvif::tcReply::Fault, invalid = onvif::tcReply::Invalid;
        const struct
        {
            const char *tag, *keys;
            QByteArray body;
            int status, kind;
            const char* fault;
        } rows[] = {
            {"malformed XML", R"("fault": "malformed-xml")", info, 200, invalid, ""},
            {"failed with a code", R"("fault": "failed", "errorCode": "HardwareBusy")", info, 500, fault,
             "HardwareBusy"},
            {"fault on another operation",
             R"("fault": "failed", "faultPaths": ["/onvif/device_service/SetUser"])", info, 200, ok, ""},
            {"fault on this operation",
             R"("fault": "failed", "faultPaths": ["/onvif/device_service/GetDeviceInformation"])", info, 500,
             fault, "Action"},
            {"fault on the whole service, before login",
             R"("onvifAuth": "token", "fault": "malformed-xml", "faultPaths": ["/onvif/device_service"])",
             clock, 200, invalid, ""},
            {"not XML", R"("onvifAuth": "token")", "<s:Envelope><s:Body>", 400, fault, "WellFormed"},
            {"not SOAP", R"("onvifAuth": "token")", "<config/>", 400, fault, "WellFormed"},
            // HTTP clients open a Digest exchange with an empty body
            {"empty body, Digest device", R"("onvifAuth": "digest")", "", 401, fault, "NotAuthorized"},
        };
        for (const auto& row : rows) {
            const QByteArray login =
                QByteArray(row.keys).contains("onvifAuth") ? "" : R"("onvifAuth": "none", )";
            QTest::newRow(row.tag) << kCamera + ", " + login + row.keys << row.body << row.status << row.kind
                                   << QString(row.fault);
        }
    }
    void playedFaults()
    {
        QFETCH(QByteArray, keys);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(int, kind);
        QFETCH(QString, fault);
        const auto d = device(keys);
        QVERIFY(d);
        const tcSimOnvifResponse r = handleOnvifRequest(*d, body, QString(), kNow);
        QCOMPARE(r.status, status);
        QCOMPARE(r.challenge, status == 401);
        const onvif::tcReply reply = onvif::parseReply(r.body);
        QCOMPARE(int(reply.kind), kind);
        QCOMPARE(reply.fault.detail(), fault);
    }

    // A fault path names the whole service or one of its operations.
    void faultPaths_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("faultPaths");
        QTest::addColumn<bool>("applies");
        const QByteArray setUser = onvif::request(onvif::setUser({"admin", "x", "User"}));
        QTest::newRow("every path") << setUser << QStringList() << true;
        QTest::newRow("the service") << setUser << QStringList{"/onvif/device_service"} << true;
        QTest::newRow("this operation") << setUser << QStringList{"/onvif/device_service/SetUser"} << true;
        QTest::newRow("another operation")
            << setUser << QStringList{"/onvif/device_service/GetUsers"} << false;
        QTest::newRow("another path") << setUser << QStringList{"/SetNetBasicConfig"} << false;
        QTest::newRow("unreadable, the service")
            << QByteArray("<x") << QStringList{"/onvif/device_service"} << true;
        QTest::newRow("unreadable, an operation")
            << QByteArray("<x") << QStringList{"/onvif/device_service/SetUser"} << false;
    }
    void faultPaths()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, faultPaths);
        QFETCH(bool, applies);
        tcSimDevice d;
        d.fault = tcSimFault::Failed;
        d.faultPaths = faultPaths;
        QCOMPARE(d.faultApplies(onvifFaultPath(body)), applies);
    }

    void contentTypes_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("SOAP 1.2") << QByteArray("application/soap+xml; charset=utf-8") << true;
        QTest::newRow("with action") << QByteArray("application/soap+xml;charset=utf-8;action=\"x\"") << true;
        QTest::newRow("upper case") << QByteArray("Application/SOAP+XML") << true;
        QTest::newRow("SOAP 1.1") << QByteArray("text/xml; charset=utf-8") << true;
        QTest::newRow("plain XML") << QByteArray("application/xml") << false;
        QTest::newRow("none") << QByteArray() << false;
    }
    void contentTypes()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(bool, accepted);
        QCOMPARE(onvifContentTypeAccepted(contentType), accepted);
    }

    // The request log never shows a password, however its element is written.
    void redaction_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<QString>("kept"); // what the log still shows
        const struct
        {
            const char* tag;
            QByteArray body;
            QString secret;
            const char* kept;
        } rows[] = {
            {"SetUser", onvif::request(onvif::setUser({"viewer", "S3cret<&>x", "User"})), "S3cret",
             "<tt:Username>viewer</tt:Username>"},
            {"CreateUsers, two",
             onvif::createUsers({{"a", "First-pw1", "User"}, {"b", "Second-pw2", "User"}}), "-pw",
             "<tt:Username>b</tt:Username>"},
            {"no prefix", "<User><Password>Plain-pw1</Password></User>", "Plain", "<User>"},
            {"CDATA", "<tt:Password><![CDATA[a<b>Cdata-pw]]></tt:Password><tt:UserLevel>", "Cdata",
             "<tt:UserLevel>"},
            {"attribute with >", "<tt:Password x=\">\">Attr-pw1</tt:Password>", "Attr-pw", "</tt:Password>"},
            {"cut short", "<tt:Username>u</tt:Username><tt:Password>Cut-pw1", "Cut-pw",
             "<tt:Username>u</tt:Username>"},
            {"token digest",
             onvif::request(onvif::getUsers(), onvif::makeToken("admin", "Tok-pw1", "n", kNow)),
             QString::fromLatin1(onvif::passwordDigest("n", onvif::createdText(kNow), "Tok-pw1")),
             "<wsse:Username>admin</wsse:Username>"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.tag) << row.body << row.secret << QString(row.kept);
    }
    void redaction()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, secret);
        QFETCH(QString, kept);
        QVERIFY(QString::fromUtf8(body).contains(secret));
        const QString logged = redactedOnvifBody(body);
        QVERIFY2(!logged.contains(secret) && logged.contains(kept), qPrintable(logged));
    }

    // ---- on the wire -----------------------------------------------------------------

    void wire()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(m_dir.isValid());
        QFile site(m_dir.filePath("site.json"));
        QVERIFY(site.open(QIODevice::WriteOnly));
        site.write(R"({"devices": [
          {"kind": "onvif", "address": "10.99.4.10", "onvifAuth": "digest", "users": {"admin": "Adm1n-pw"}},
          {"kind": "norvo2", "address": "10.99.4.11", "clockOffset": -5000, "rebootSecs": 1.5,
           "users": {"admin": "Adm1n-pw"}},
          {"kind": "pq-recorder", "address": "10.99.4.12"}]})");
        site.close();
        QVERIFY(m_sim.start(zltest::binPath("zephyrlock-sim"), {"--site", site.fileName(), "--log-requests"},
                            "\"event\":\"ready\""));

        // Digest only: a challenge first, then a standard client's Digest login is let in.
        const QByteArray info = onvif::request(onvif::getDeviceInformation());
        tcPost r = post("10.99.4.10", info);
        QCOMPARE(r.status, 401);
        QCOMPARE(onvif::parseReply(r.body).fault.detail(), QString("NotAuthorized"));
        r = post("10.99.4.10", info, {"--digest", "-u", "admin:Adm1n-pw"});
        QCOMPARE(r.status, 200);
        QCOMPARE(onvif::deviceInformation(onvif::parseReply(r.body))->manufacturer, QString("Simulated"));
        QCOMPARE(post("10.99.4.10", info, {}, "application/xml").status, 415);
        QCOMPARE(post("10.99.4.12", info).status, 404); // no ONVIF, no service

        // The clock needs no login; the token is made on the device's clock read so.
        const QDateTime sent = QDateTime::currentDateTimeUtc();
        r = post("10.99.4.11", onvif::request(onvif::getSystemDateAndTime()));
        const QDateTime received = QDateTime::currentDateTimeUtc();
        QCOMPARE(r.status, 200);
        const auto clock = onvif::systemDateAndTime(onvif::parseReply(r.body));
        QVERIFY(clock);
        const qint64 offsetMs = onvif::clockOffsetMs(clock->utc, sent, received);
        QVERIFY2(qAbs(offsetMs + 5000 * 1000) < 3000, qPrintable(QString::number(offsetMs)));
        const auto signedBy = [offsetMs](const QByteArray& operation, const QString& password) {
            const QDateTime deviceNow = onvif::deviceNow(QDateTime::currentDateTimeUtc(), offsetMs);
            return onvif::request(operation,
                                  onvif::makeToken("admin", password, onvif::freshNonce(), deviceNow));
        };

        // A password set over the wire is in no log line; the state shows its digest.
        r = post("10.99.4.11",
                 signedBy(onvif::setUser({"admin", "Wire-pw-77", "Administrator"}), "Adm1n-pw"));
        QCOMPARE(r.status, 200);
        QTRY_VERIFY(!events("state").isEmpty());
        QCOMPARE(events("state").last().value("passwordSha256").toObject().value("admin").toString(),
                 sha256("Wire-pw-77"));
        QVERIFY(!m_sim.output().contains("Wire-pw-77"));
        QCOMPARE(events("request").last().value("onvif").toObject().value("operation").toString(),
                 QString("SetUser"));

        // The reboot: answered, then nothing answers for rebootSecs, then the device again.
        r = post("10.99.4.11", signedBy(onvif::systemReboot(), "Wire-pw-77"));
        QElapsedTimer down;
        down.start();
        QCOMPARE(r.status, 200);
        QCOMPARE(onvif::parseReply(r.body, QLatin1String("SystemRebootResponse")).kind, onvif::tcReply::Ok);
        const QByteArray clockRequest = onvif::request(onvif::getSystemDateAndTime());
        QCOMPARE(post("10.99.4.11", clockRequest).status, 0);
        QCOMPARE(post("10.99.4.10", clockRequest).status, 200); // another device stays up
        while (post("10.99.4.11", clockRequest).status != 200 && down.elapsed() < 8000)
            QTest::qWait(100);
        QVERIFY2(down.elapsed() >= 1200 && down.elapsed() < 5000,
                 qPrintable(QString::number(down.elapsed())));
        QTRY_COMPARE(events("reboot").size(), 2);
        QCOMPARE(events("reboot").first().value("do").toString(), QString("down"));
        QCOMPARE(events("reboot").last().value("do").toString(), QString("up"));
        QTRY_COMPARE(events("state").last().value("rebooting").toBool(), false);
        QCOMPARE(events("state").last().value("reboots").toInt(), 1);
        m_sim.stop();
    }
};

QTEST_GUILESS_MAIN(tst_SimOnvif)
#include "tst_simonvif.moc"
