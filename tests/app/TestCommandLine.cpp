#include "TestEnvironment.h"

#include "app/CommandLine.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

// Which argument names the data file: the first one that is not a switch.
class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dataFileArgument_data()
    {
        test::Columns<QStringList, QString>("arguments", "path");
        QTest::addRow("no argument") << QStringList { u"vimo"_s } << QString();
        QTest::addRow("the shell's /dde alone")
            << QStringList { u"vimo"_s, u"/dde"_s } << QString();
        QTest::addRow("a dash switch is ignored")
            << QStringList { u"vimo"_s, u"-x"_s } << QString();
        QTest::addRow("a relative path")
            << QStringList { u"vimo"_s, u"office.vmo"_s } << u"office.vmo"_s;
        QTest::addRow("an absolute path is a path, not a switch")
            << QStringList { u"vimo"_s, u"/some/office.vmo"_s } << u"/some/office.vmo"_s;
        QTest::addRow("of two paths the first counts")
            << QStringList { u"vimo"_s, u"/a/first.vmo"_s, u"second.vmo"_s } << u"/a/first.vmo"_s;
        QTest::addRow("/p before the path has no effect")
            << QStringList { u"vimo"_s, u"/p"_s, u"/some/office.vmo"_s } << u"/some/office.vmo"_s;
        QTest::addRow("switches in any case, before and after") << QStringList { u"vimo"_s,
            u"/DDE"_s, u"-geometry"_s, u"/Embedding"_s, u"a.vmo"_s, u"/pt"_s }
                                                                << u"a.vmo"_s;
        QTest::addRow("the program's own name is not a path")
            << QStringList { u"/usr/bin/vimo"_s } << QString();
        QTest::addRow("a folder named like a switch but longer is a path")
            << QStringList { u"vimo"_s, u"/ddex/a.vmo"_s } << u"/ddex/a.vmo"_s;
    }

    void dataFileArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, path);
        QCOMPARE(DataFileArgument(arguments), path);
    }
};

VIMO_TEST_MAIN(TestCommandLine, QCoreApplication)
#include "TestCommandLine.moc"
