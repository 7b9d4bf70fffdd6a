#include "store/Preferences.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPreferences : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    std::unique_ptr<Preferences> makeStore() const
    {
        return std::make_unique<Preferences>(
            std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("netlatch.conf")), QSettings::IniFormat));
    }

private Q_SLOTS:
    void init() { QFile::remove(m_dir.filePath(QStringLiteral("netlatch.conf"))); }

    void freshStoreReadsEveryDefault()
    {
        const auto store = makeStore();
        for (const PreferenceKey &key : PreferenceKeys::all) {
            switch (key.type) {
            case PreferenceType::Boolean: QVERIFY2(!store->boolValue(key), key.name); break;
            case PreferenceType::Text: QVERIFY2(!store->textValue(key), key.name); break;
            case PreferenceType::Data: QVERIFY2(!store->dataValue(key), key.name); break;
            }
        }
        QCOMPARE(store->lastShownVersion(), QStringLiteral("1.0"));
    }

    void valuesSurviveARestartWithTheirTypes()
    {
        const QByteArray json = R"([{"username":"张三","timestamp":1}])";
        {
            const auto store = makeStore();
            store->setBool(PreferenceKeys::autoLoginEnabled, true);
            store->setText(PreferenceKeys::lastShownVersion, QStringLiteral("2.1"));
            store->setData(PreferenceKeys::loginRecords, json);
            QVERIFY(store->boolValue(PreferenceKeys::autoLoginEnabled)); // visible before any sync
            store->sync();
        }
        const auto store = makeStore();
        QVERIFY(store->boolValue(PreferenceKeys::autoLoginEnabled));
        QCOMPARE(store->lastShownVersion(), QStringLiteral("2.1"));
        QCOMPARE(store->dataValue(PreferenceKeys::loginRecords), json);
    }

    void wrongTypesReadAsTheReadersDefault()
    {
        QFile file(m_dir.filePath(QStringLiteral("netlatch.conf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nautoLoginEnabled=yes\nhideDockIcon=1\nquickLoginShortcut=not bytes\n"
                   "lastShownVersion=@ByteArray(3.0)\ncom.netlatch.loginRecords=@Variant(garbage\n");
        file.close();
        const auto store = makeStore();
        QVERIFY(!store->boolValue(PreferenceKeys::autoLoginEnabled));
        QVERIFY(!store->boolValue(PreferenceKeys::hideDockIcon));
        QVERIFY(!store->dataValue(PreferenceKeys::quickLoginShortcut));
        QCOMPARE(store->lastShownVersion(), QStringLiteral("1.0"));
        QVERIFY(!store->dataValue(PreferenceKeys::loginRecords));
    }

    void resetOfTheFirstRunStateKeepsEverythingElse()
    {
        const auto store = makeStore();
        store->setBool(PreferenceKeys::hasShownWelcome, true);
        store->setBool(PreferenceKeys::hasSetupCredentials, true);
        store->setText(PreferenceKeys::lastShownVersion, QStringLiteral("2.0"));
        store->setBool(PreferenceKeys::autoLoginEnabled, true);
        store->setBool(PreferenceKeys::hideDockIcon, true);
        store->setData(PreferenceKeys::quickLoginShortcut, "{}");
        store->setData(PreferenceKeys::loginRecords, "[]");

        store->resetFirstRunState();

        QVERIFY(!store->boolValue(PreferenceKeys::hasShownWelcome));
        QVERIFY(!store->boolValue(PreferenceKeys::hasSetupCredentials));
        QCOMPARE(store->lastShownVersion(), QStringLiteral("1.0"));
        QVERIFY(store->boolValue(PreferenceKeys::autoLoginEnabled));
        QVERIFY(store->boolValue(PreferenceKeys::hideDockIcon));
        QVERIFY(store->dataValue(PreferenceKeys::quickLoginShortcut));
        QCOMPARE(store->dataValue(PreferenceKeys::loginRecords), QByteArray("[]"));
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
