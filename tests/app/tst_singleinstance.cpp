#include "tcInstanceGuard.h"
#include "zltest.h"

#include <QtTest>

#include <unistd.h>

// The scanner started as real processes: one copy per program path and user, a second
// start tells the first and leaves, a killed first copy does not block the next start.
class tst_SingleInstance : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir; // the processes' temporary folder, where lock and socket live
    QString m_program;

    QString lockPath() const
    {
        return QDir(m_dir.path())
            .absoluteFilePath(tcInstanceGuard::keyFor(m_program) + QStringLiteral(".lock"));
    }

    QProcess* startScanner()
    {
        auto* process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(m_program, QStringList());
        return process;
    }

    // The process id named in the lock file, 0 when there is none.
    qint64 lockHolder() const
    {
        qint64 pid = 0;
        QString host, app;
        return QLockFile(lockPath()).getLockInfo(&pid, &host, &app) ? pid : 0;
    }

    static bool finishes(QProcess* process, int timeoutMs)
    {
        if (process->state() == QProcess::NotRunning)
            return true;
        QSignalSpy finished(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
        return finished.wait(timeoutMs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_program = QFileInfo(zltest::binPath(QStringLiteral("zephyrlock-scanner"))).canonicalFilePath();
        QVERIFY2(!m_program.isEmpty(), "the scanner is not built");
    }

    void init() { ZL_REQUIRE_SANDBOX(); }

    void cleanup()
    {
        for (QProcess* process : findChildren<QProcess*>()) {
            process->kill();
            process->waitForFinished(3000);
            delete process;
        }
        QFile::remove(lockPath());
        QFile::remove(QDir(m_dir.path()).absoluteFilePath(tcInstanceGuard::keyFor(m_program)));
    }

    void keyFollowsProgramPath_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("same");
        QTest::newRow("same path spelled with a dot") << "/opt/zl/bin/zephyrlock-scanner"
                                                      << "/opt/zl/bin/./zephyrlock-scanner" << true;
        QTest::newRow("another installed copy") << "/opt/zl/bin/zephyrlock-scanner"
                                                << "/home/x/zephyrlock-scanner" << false;
    }
    void keyFollowsProgramPath()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, same);
        QCOMPARE(tcInstanceGuard::keyFor(first) == tcInstanceGuard::keyFor(second), same);
        // the user who runs the copy is the numeric user id, not a name from the environment
        QCOMPARE(tcInstanceGuard::keyFor(first), tcInstanceGuard::keyFor(first, QString::number(::getuid())));
        // two guards in one folder: both first copies exactly when the keys differ
        QTemporaryDir dir;
        tcInstanceGuard a(first, dir.path());
        tcInstanceGuard b(second, dir.path());
        QVERIFY(a.isPrimary());
        QCOMPARE(b.isPrimary(), !same);
    }

    void keyFollowsUser_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("same");
        QTest::newRow("same user id") << "1000" << "1000" << true;
        QTest::newRow("another user id") << "1000" << "1001" << false;
        QTest::newRow("account name with characters a path cannot hold")
            << "DOMAIN\\tech:1/a" << "DOMAIN\\tech:1/b" << false;
    }
    void keyFollowsUser()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, same);
        const QString program = QStringLiteral("/opt/zl/bin/zephyrlock-scanner");
        const QString key = tcInstanceGuard::keyFor(program, first);
        QCOMPARE(key == tcInstanceGuard::keyFor(program, second), same);
        // the key names a file and a local socket in a shared folder
        QVERIFY(QRegularExpression(QStringLiteral("^zephyrlock-[0-9a-f]+$")).match(key).hasMatch());
    }

    // This test plays the running copy; the scanner started second must hand over its
    // message with its own argv[0] and leave with 0.
    void secondStartSendsItsProgramPath()
    {
        tcInstanceGuard first(m_program, m_dir.path());
        QVERIFY(first.isPrimary());
        QSignalSpy received(&first, &tcInstanceGuard::messageReceived);
        QProcess* second = startScanner();
        QVERIFY(finishes(second, 15000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(received.count(), 1);
        QCOMPARE(received.first().first().toString(), QStringLiteral("%1 wants to run").arg(m_program));
    }

    void startAfterKilledFirst()
    {
        QProcess* first = startScanner();
        QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), first->processId(), 10000);
        {
            tcInstanceGuard probe(m_program, m_dir.path());
            QVERIFY(probe.sendMessage(QStringLiteral("probe"), 5000));
        }
        first->kill(); // SIGKILL: lock file and socket stay behind
        QVERIFY(finishes(first, 5000));
        QVERIFY(QFile::exists(lockPath()));
        QVERIFY(QFile::exists(QDir(m_dir.path()).absoluteFilePath(tcInstanceGuard::keyFor(m_program))));

        QProcess* restarted = startScanner();
        QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), restarted->processId(), 15000);
        tcInstanceGuard probe(m_program, m_dir.path());
        QVERIFY(!probe.isPrimary());
        QVERIFY(probe.sendMessage(QStringLiteral("probe"), 5000));
        QCOMPARE(restarted->state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
