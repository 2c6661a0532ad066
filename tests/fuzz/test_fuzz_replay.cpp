// SPDX-License-Identifier: GPL-3.0-or-later
// Every kept input of every fuzz harness, seeds and regressions alike, through the same entry
// points as the fuzzers: what once crashed a parser must not crash it again.
#include "fuzz_targets.h"

#include <QDir>
#include <QFile>
#include <QTest>

class test_fuzz_replay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fuzz_setup(); }

    void replay_data()
    {
        QTest::addColumn<int>("target");
        for (int n = 0; n < fuzz_target_count; ++n)
            QTest::newRow(fuzz_targets[n].name) << n;
    }

    void replay()
    {
        QFETCH(int, target);
        const fuzz_target& harness = fuzz_targets[target];
        const QDir root(QStringLiteral(QUORVANE_FUZZ_DIR));
        const QStringList corpus = files_in(root.filePath(QString("corpus/") + harness.name));
        QVERIFY2(!corpus.isEmpty(), "every harness has seeds");
        const QStringList found = files_in(root.filePath(QString("regressions/") + harness.name));
        for (const QString& name : corpus + found) {
            QFile file(name);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
            const QByteArray input = file.readAll();
            // An empty input has no data pointer; the fuzzers hand over a valid one.
            const char empty = 0;
            QCOMPARE(harness.run(reinterpret_cast<const uint8_t*>(
                                     input.isEmpty() ? &empty : input.constData()),
                                 size_t(input.size())),
                     0);
        }
    }

private:
    static QStringList files_in(const QString& folder)
    {
        QStringList names;
        const QDir dir(folder);
        for (const QString& entry : dir.entryList(QDir::Files, QDir::Name))
            names << dir.filePath(entry);
        return names;
    }
};

QTEST_GUILESS_MAIN(test_fuzz_replay)
#include "test_fuzz_replay.moc"
