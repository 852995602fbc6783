#include "arguments.h"
#include "configreader.h"

#include <QTest>

class TestArguments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compose_data()
    {
        QTest::addColumn<QList<int>>("selections");
        QTest::addColumn<QString>("freeText");
        QTest::addColumn<QString>("expected");
        const QString zeros = "[Resolution] 0 [PixelDensity] 0 [Input] 0 [UserAgentString] 0 ";
        QTest::newRow("empty") << QList<int>{0, 0, 0, 0} << "" << zeros;
        QTest::newRow("blanks only") << QList<int>{0, 0, 0, 0} << " \t\n\r\v\f" << zeros;
        QTest::newRow("unicode blanks")
            << QList<int>{} << QString::fromUtf8("\u3000\u00a0x  y\u2029") << zeros + "x  y";
        QTest::newRow("indices") << QList<int>{3, -1, 2147483647, -2147483647 - 1} << " %1 "
                                 << "[Resolution] 3 [PixelDensity] -1 [Input] 2147483647 "
                                    "[UserAgentString] -2147483648 %1";
    }
    void compose()
    {
        QFETCH(QList<int>, selections);
        QFETCH(QString, freeText);
        QFETCH(QString, expected);
        const LaunchProfile profile{"p", freeText, selections};
        QCOMPARE(GetProfileArguments(profile, CreateSections()), expected);
        QList<ConfigSection> sections = CreateSections();
        sections[ResolutionSection].header = "[%1]";
        QVERIFY(ComposeArguments(sections, selections, freeText).startsWith("[%1] "));
    }

    void read_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QList<int>>("selections");
        QTest::addColumn<QString>("arguments");
        const QList<int> none{0, 0, 0, 0};
        QTest::newRow("empty") << " \t " << none << "";
        QTest::newRow("free text") << " -a   b\t" << none << " -a b";
        QTest::newRow("header, no number")
            << "[Resolution] 2 [PixelDensity] x 1 -a" << QList<int>{2, 0, 0, 0} << " x 1 -a";
        QTest::newRow("sign, repeat")
            << "[Input] -1 [UserAgentString] +4 [Input] 5" << QList<int>{0, 0, 5, 4} << "";
        QTest::newRow("header last") << "-a [Input]" << none << " -a";
        QTest::newRow("not keys") << "[Profile] 3 [input] 1 [Input]2" << none
                                  << " [Profile] 3 [input] 1 [Input]2";
        QTest::newRow("out of range") << "[Input] 2147483648" << none << " 2147483648";
        QTest::newRow("unicode blanks")
            << QString::fromUtf8("a\u3000b\u00a0\u2028c") << none << " a b c";
    }
    void read()
    {
        QFETCH(QString, value);
        QFETCH(QList<int>, selections);
        QFETCH(QString, arguments);
        LaunchProfile profile{"p", "", {0, 0, 0, 0}};
        ReadProfileArguments(value, CreateSections(), profile);
        QCOMPARE(profile.selections, selections);
        QCOMPARE(profile.arguments, arguments);
    }

    void displayName_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("lowerLabel");
        QTest::newRow("PixelDensity") << "[PixelDensity]"
                                      << "Pixel Density"
                                      << "pixel density";
        QTest::newRow("UserAgentString") << "[UserAgentString]"
                                         << "User Agent String"
                                         << "user agent string";
        QTest::newRow("capitals in a row") << "[UAString]"
                                           << "UAString"
                                           << "uastring";
        QTest::newRow("brackets inside") << "[Pixel][Density]"
                                         << "Pixel Density"
                                         << "pixel density";
        QTest::newRow("digit between") << "a1B"
                                       << "a1B"
                                       << "a1b";
        QTest::newRow("non-ASCII") << QString::fromUtf8("\u00e4b\u00d6\U00010400")
                                   << QString::fromUtf8("\u00e4b \u00d6\U00010400")
                                   << QString::fromUtf8("\u00e4b \u00f6\U00010428");
    }
    void displayName()
    {
        QFETCH(QString, header);
        QFETCH(QString, label);
        QFETCH(QString, lowerLabel);
        const ConfigSection section{header, {}, nullptr};
        QCOMPARE(SectionDisplayName(section, false), label);
        QCOMPARE(SectionDisplayName(section, true), lowerLabel);
    }
};

QTEST_GUILESS_MAIN(TestArguments)
#include "tst_arguments.moc"
