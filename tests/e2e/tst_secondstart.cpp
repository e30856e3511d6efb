// The real scanner executable on a workstation facing a site: while the first copy runs
// its discovery, a second start hands over to it and leaves with 0; the first goes on.
#include "tcInstanceGuard.h"
#include "zltest.h"

#include <QtTest>

class tst_SecondStart : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir; // the copies' temporary folder, where the instance lock lives
    zltest::tcSiteProcess m_sim;

    QProcess* startScanner()
    {
        auto* process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(zltest::binPath(QStringLiteral("zephyrlock-scanner")), QStringList());
        return process;
    }

private slots:
    void secondStartLeavesTheFirstRunning()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(m_dir.isValid());
        QVERIFY(m_sim.start(zltest::binPath(QStringLiteral("zephyrlock-sim")),
                            {"--norvo2", "3", "--norvo1", "2", "--bridges", "1", "--no-http"},
                            QStringLiteral("\"event\":\"ready\"")));
        const QString program =
            QFileInfo(zltest::binPath(QStringLiteral("zephyrlock-scanner"))).canonicalFilePath();
        const QString lock =
            QDir(m_dir.path()).absoluteFilePath(tcInstanceGuard::keyFor(program) + QStringLiteral(".lock"));

        QScopedPointer<QProcess> first(startScanner());
        QVERIFY(first->waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 10000);
        // the first copy listens for later ones once its guard holds the lock
        tcInstanceGuard probe(program, m_dir.path());
        QVERIFY(probe.sendMessage(QStringLiteral("probe"), 5000));

        QScopedPointer<QProcess> second(startScanner());
        QVERIFY2(second->waitForFinished(15000), "the second copy kept running");
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        first->terminate();
        first->waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(tst_SecondStart)
#include "tst_secondstart.moc"
