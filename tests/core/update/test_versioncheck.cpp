// The version file rules, every edge of them, as a pure function.

#include <QTest>

#include "core/update/versioncheck.h"

using namespace Sveltra;

Q_DECLARE_METATYPE(Sveltra::VersionOutcome)

class TestVersionCheck : public QObject
{
    Q_OBJECT

private slots:
    void versionFile_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<VersionOutcome>("outcome");
        QTest::addColumn<QString>("latest");

        const auto N = VersionOutcome::NewVersion, U = VersionOutcome::UpToDate, F = VersionOutcome::Failed;
        QTest::newRow("newer, with a line end") << QByteArray("Sveltra04.03.01\r\n") << N << QStringLiteral("04.03.01");
        QTest::newRow("newer, unix line end") << QByteArray("Sveltra04.03.01\n") << N << QStringLiteral("04.03.01");
        QTest::newRow("equal is not newer") << QByteArray("Sveltra04.03.00") << U << QStringLiteral("04.03.00");
        QTest::newRow("older") << QByteArray("Sveltra04.02.99") << U << QStringLiteral("04.02.99");
        QTest::newRow("12 characters") << QByteArray("Sveltra4.3.1") << F << QString();
        QTest::newRow("13 characters") << QByteArray("Sveltra04.03.") << F << QString();
        QTest::newRow("blank and 4.3.10, 14 characters") << QByteArray("Sveltra 4.3.10") << F << QString();
        QTest::newRow("14 characters, a prefix is smaller") << QByteArray("Sveltra04.03.0") << U << QStringLiteral("04.03.0");
        QTest::newRow("minor 10") << QByteArray("Sveltra04.10.00") << N << QStringLiteral("04.10.00");
        QTest::newRow("major 10") << QByteArray("Sveltra10.00.00") << N << QStringLiteral("10.00.00");
        QTest::newRow("name in lower case") << QByteArray("sveltra04.03.01") << F << QString();
        QTest::newRow("name in capitals") << QByteArray("SVELTRA04.03.01") << F << QString();
        QTest::newRow("blank before the name") << QByteArray(" Sveltra04.03.01") << F << QString();
        QTest::newRow("empty") << QByteArray() << F << QString();
        QTest::newRow("only characters 8 to 15 count")
            << QByteArray("Sveltra04.03.0099.99.99") << U << QStringLiteral("04.03.00");
        // The version must have the form: nothing else counts as one, whatever it sorts as.
        QTest::newRow("a letter") << QByteArray("Sveltra04.03.0a") << F << QString();
        QTest::newRow("a high byte") << QByteArray("Sveltra\xff"
                                                   "4.03.00")
                                     << F << QString();
        QTest::newRow("a NUL byte") << QByteArray("Sveltra\0"
                                                  "4.03.00",
                                                  15)
                                    << F << QString();
        QTest::newRow("only NUL bytes") << QByteArray("Sveltra\0\0\0\0\0\0\0\0\r\n", 17) << F << QString();
        QTest::newRow("text after the name") << QByteArray("Sveltra is the best program") << F << QString();
        QTest::newRow("numbers of one digit") << QByteArray("Sveltra4.3.1.00") << F << QString();
        QTest::newRow("commas for points") << QByteArray("Sveltra04,03,01") << F << QString();
        QTest::newRow("a blank in the version") << QByteArray("Sveltra04.03 01") << F << QString();
        QTest::newRow("a line end inside") << QByteArray("Sveltra04.03.\n1") << F << QString();
        QTest::newRow("fourteen, last a letter") << QByteArray("Sveltra04.03.x") << F << QString();
        QTest::newRow("anything after the version")
            << QByteArray("Sveltra04.03.01\0\xff<html>") << N << QStringLiteral("04.03.01");
        QTest::newRow("an HTML error page") << QByteArray("<html><body>404</body></html>") << F << QString();
    }

    void versionFile()
    {
        QFETCH(QByteArray, body);
        QFETCH(VersionOutcome, outcome);
        QFETCH(QString, latest);
        const VersionCheckResult result = CheckVersionFile(body, QStringLiteral("04.03.00"));
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.latest, latest);
        QCOMPARE(result.reason.isEmpty(), outcome != VersionOutcome::Failed);
    }

    void comparisonByCharacterCode()
    {
        QVERIFY(IsNewerVersion(QStringLiteral("04.03.01"), QStringLiteral("04.03.00")));
        QVERIFY(!IsNewerVersion(QStringLiteral("04.03.00"), QStringLiteral("04.03.00")));
        QVERIFY(!IsNewerVersion(QStringLiteral("04.03.0"), QStringLiteral("04.03.00")));
        QVERIFY(IsNewerVersion(QStringLiteral("04.03.00 "), QStringLiteral("04.03.00")));
        QVERIFY(!IsNewerVersion(QStringLiteral(" 4.3.10"), QStringLiteral("04.03.00")));
        QVERIFY(IsNewerVersion(QStringLiteral("a"), QStringLiteral("B"))); // case-sensitive, by code
        QVERIFY(!IsNewerVersion(QStringLiteral("A"), QStringLiteral("b")));
        QVERIFY(IsNewerVersion(QStringLiteral("4.3.1"), QStringLiteral("04.03.00"))); // text, not numbers
    }
};

QTEST_APPLESS_MAIN(TestVersionCheck)
#include "test_versioncheck.moc"
