#include "core/displayzoom.h"
#include "core/emulationcommands.h"
#include "core/profiledirectory.h"
#include "core/windowtitle.h"

#include <QtTest>

#include <cmath>

namespace {

QString SizeText(QSize size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

// A user agent of the shipped catalogue, by its entry's name.
QString Shipped(const char *entry)
{
    QFile file(QStringLiteral(VELMORA_CATALOGUE));
    const QString start = '"' + QString(entry) + "\"\t\"";
    QString line;
    for (file.open(QIODevice::ReadOnly); !file.atEnd() && !line.startsWith(start);)
        line = QString::fromUtf8(file.readLine()).trimmed();
    return ParseEmulatorArguments(QProcess::splitCommand(line.mid(start.size()).chopped(1)))
        .userAgent;
}

} // namespace

// The device and what a page is told of it, without a browser engine.
class TestEmulatorCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void device_data()
    {
        QTest::addColumn<QString>("options");  // size, ppi and the orientation asked for
        QTest::addColumn<QString>("expected"); // pixels, CSS size, orientation type and angle

        const auto row = [](const char *name, const char *options, const char *expected) {
            QTest::newRow(name) << QString(options) << QString(expected);
        };
        // CSS sizes are rounded up, but an exact quotient stays as it is.
        row("phone", "1080x2400 420", "1080x2400 412x915 portraitPrimary 0");
        row("exact quotient", "720x1280 240", "720x1280 480x854 portraitPrimary 0");
        row("low density", "240x320 40", "240x320 960x1280 portraitPrimary 0");
        row("turned to landscape", "1080x2400 420 landscape",
            "2400x1080 915x412 landscapePrimary 90");
        row("turned to portrait", "2560x1600 320 portrait", "1600x2560 800x1280 portraitPrimary 0");
        row("already landscape", "2560x1600 320 landscape",
            "2560x1600 1280x800 landscapePrimary 90");
        row("square", "800x800 160 landscape", "800x800 800x800 portraitPrimary 0");
    }

    void device()
    {
        QFETCH(QString, options);
        const QStringList given = options.split(u' ');
        QStringList arguments{"-windowsize", given[0], "-ppi", given[1]};
        if (given.size() > 2)
            arguments << "-orientation" << given[2];
        const Device device = Device::FromRequest(ParseEmulatorArguments(arguments));
        QTEST(QString(SizeText(device.pixels) + ' ' + SizeText(device.cssSize()) + ' ' +
                      device.orientationType() + ' ' + QString::number(device.orientationAngle())),
              "expected");
        QCOMPARE(device.rotated().cssSize(), device.cssSize().transposed());
        QCOMPARE(device.rotated().rotated().pixels, device.pixels);
    }

    void fit_data()
    {
        QTest::addColumn<QSize>("css");
        QTest::addColumn<QSize>("available");
        QTest::addColumn<int>("chromeHeight");
        QTest::addColumn<qreal>("zoom");

        QTest::newRow("never above 100%") << QSize(412, 915) << QSize(1920, 1040) << 40 << 1.0;
        QTest::newRow("height bound") << QSize(800, 1280) << QSize(1280, 984) << 40 << 0.737;
        QTest::newRow("width bound") << QSize(1280, 800) << QSize(1024, 768) << 40 << 0.8;
        QTest::newRow("floor") << QSize(412, 915) << QSize(200, 200) << 40 << 0.25;
        QTest::newRow("toolbar taller than the screen")
            << QSize(412, 915) << QSize(1280, 30) << 40 << 0.25;
        QTest::newRow("no device") << QSize() << QSize(1280, 1024) << 40 << 1.0;
    }

    void fit()
    {
        QFETCH(QSize, css);
        QFETCH(QSize, available);
        QFETCH(int, chromeHeight);
        QFETCH(qreal, zoom);
        const qreal fitted = DisplayZoom::Fit(css, available, chromeHeight);
        QCOMPARE(fitted, zoom);
        // Rounded up to whole pixels, a fitted device still fits.
        if (fitted > 0.25 && !css.isEmpty()) {
            QVERIFY(std::ceil(css.width() * fitted) <= available.width());
            QVERIFY(std::ceil(css.height() * fitted) + chromeHeight <= available.height());
        }
    }

    void steps_data()
    {
        QTest::addColumn<qreal>("zoom");
        QTest::addColumn<qreal>("in");
        QTest::addColumn<qreal>("out");

        QTest::newRow("fitted between steps") << 0.43 << 0.5 << 0.25;
        QTest::newRow("on a step") << 1.0 << 1.25 << 0.75;
        QTest::newRow("step reached by arithmetic") << 0.1 * 7.5 << 1.0 << 0.5;
        QTest::newRow("largest step") << 2.0 << 2.0 << 1.5;
        QTest::newRow("floor") << 0.25 << 0.5 << 0.25;
        QTest::newRow("below the floor") << 0.1 << 0.5 << 0.1;
    }

    void steps()
    {
        QFETCH(qreal, zoom);
        QTEST(DisplayZoom::ZoomIn(zoom), "in");
        QTEST(DisplayZoom::ZoomOut(zoom), "out");
    }

    void userAgent_data()
    {
        QTest::addColumn<QString>("userAgent");
        // platform; vendor; brands (none: no navigator.userAgentData at all); full version,
        // platform, platform version, architecture, model, mobile. Trailing empty ones left out.
        QTest::addColumn<QString>("details");

        const QString chrome131 = "Google Chrome 131|Chromium 131|Not_A Brand 24";
        const QString chrome = "Linux armv8l; Google Inc.; " + chrome131 + "; 131.0.0.0|";
        const QString samsung =
            "Linux armv8l; Google Inc.; Samsung Internet 26|Chromium 122|Not(A:Brand 24; 26.0|";
        const QString apple = "; Apple Computer, Inc.";

        const auto row = [](const char *name, const QString &userAgent, const QString &details) {
            QTest::newRow(name) << userAgent << details;
        };
        // The user agents of the shipped catalogue.
        const auto shipped = [&row](const char *entry, const QString &details) {
            row(entry, Shipped(entry), details);
        };
        shipped("Chrome for Android, phone", chrome + "Android|10.0.0||K|1");
        shipped("Chrome for Android, tablet", chrome + "Android|10.0.0||K|0");
        shipped("Safari on iPhone", "iPhone" + apple);
        shipped("Safari on iPad", "iPad" + apple);
        shipped("Samsung Internet, phone", samsung + "Android|14.0.0||SM-S928B|1");
        shipped("Samsung Internet, tablet", samsung + "Android|14.0.0||SM-X710|0");
        shipped("Firefox for Android, phone", "Linux armv8l");
        shipped("Firefox for Android, tablet", "Linux armv8l");
        shipped("Desktop Chrome on Windows",
                "Win32; Google Inc.; " + chrome131 + "; 131.0.0.0|Windows|10.0.0|x86||0");

        // Others a user may type.
        row("Chrome, Linux",
            "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
            "Chrome/131.0.0.0 Safari/537.36",
            "Linux x86_64; Google Inc.; " + chrome131 + "; 131.0.0.0|Linux||x86||0");
        // Chromium-based agents the catalogue does not ship are plain Chromium.
        row("Edge, Windows", Shipped("Desktop Chrome on Windows") + " Edg/131.0.2903.86",
            "Win32; Google Inc.; Chromium 131|Not_A Brand 24; 131.0.0.0|Windows|10.0.0|x86||0");
        row("Android WebView",
            "Mozilla/5.0 (Linux; Android 10; K; wv) AppleWebKit/537.36 (KHTML, like Gecko) "
            "Version/4.0 Chrome/131.0.0.0 Mobile Safari/537.36",
            "Linux armv8l; Google Inc.; Chromium 131|Not_A Brand 24; "
            "131.0.0.0|Android|10.0.0||K|1");
        // Every browser on iOS is WebKit underneath, whatever it calls itself.
        row("Chrome, iPhone",
            "Mozilla/5.0 (iPhone; CPU iPhone OS 18_1 like Mac OS X) AppleWebKit/605.1.15 "
            "(KHTML, like Gecko) CriOS/131.0.6778.73 Mobile/15E148 Safari/604.1",
            "iPhone" + apple);
        row("Safari, Mac",
            "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like "
            "Gecko) Version/18.1 Safari/605.1.15",
            "MacIntel" + apple);
        row("empty", "", "");
        row("garbage", "((;;) Chrome/ Android", "Linux armv8l");
        row("unknown", "SomeBot/1.0", "");
    }

    void userAgent()
    {
        QFETCH(QString, userAgent);
        const UserAgentDetails details = DeriveUserAgentDetails(userAgent);
        QStringList brands;
        for (const UserAgentBrand &brand : details.brands) {
            brands.append(brand.brand + QLatin1Char(' ') + brand.version);
            // The full versions tell the same story as the majors and the full version.
            QVERIFY(brand.fullVersion.startsWith(brand.version + '.') ||
                    brand.fullVersion == brand.version);
            if (brand.brand == "Chromium" && userAgent.contains("Chrome/"))
                QVERIFY(userAgent.contains("Chrome/" + brand.fullVersion + ' '));
        }
        if (details.hasUserAgentData)
            QCOMPARE(details.brands.first().fullVersion, details.fullVersion);
        QStringList seen{details.platform, details.vendor, brands.join(u'|')};
        if (details.hasUserAgentData)
            seen << QStringList({details.fullVersion, details.clientHintsPlatform,
                                 details.platformVersion, details.architecture, details.model,
                                 QString::number(details.mobile)})
                        .join(u'|');
        while (!seen.isEmpty() && seen.last().isEmpty())
            seen.removeLast();
        QTEST(seen.join(QStringLiteral("; ")), "details");
    }

    void commands_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<qreal>("scale");
        // Each method and its parameters as sent, with ' for the double quotes of JSON.
        QTest::addColumn<QStringList>("commands");

        // Always a phone's layout, never clipped, the screen as big as the view.
        const auto metrics = [](const char *width, const char *height, const char *ratio,
                                const char *scale, const char *angle, const char *type) {
            return QString("Emulation.setDeviceMetricsOverride {'deviceScaleFactor':%3,"
                           "'dontSetVisibleSize':true,'height':%2,'mobile':true,'scale':%4,"
                           "'screenHeight':%2,'screenOrientation':{'angle':%5,'type':'%6'},"
                           "'screenWidth':%1,'width':%1}")
                .arg(width, height, ratio, scale, angle, type);
        };
        const QString touchOff = "Emulation.setTouchEmulationEnabled {'enabled':false}";
        const QString mouseOff = "Emulation.setEmitTouchEventsForMouse {'enabled':false}";
        const QString chrome = Shipped("Chrome for Android, phone");
        QTest::newRow("touch, Chromium user agent")
            << "-windowsize 1080x2400 -ppi 420 -input touch -user-agent \"" + chrome + '"' << 0.5
            << QStringList{
                   metrics("412", "915", "2.625", "0.5", "0", "portraitPrimary"),
                   "Emulation.setTouchEmulationEnabled {'enabled':true,'maxTouchPoints':5}",
                   "Emulation.setEmitTouchEventsForMouse {'configuration':'mobile','enabled':true}",
                   "Emulation.setUserAgentOverride platform,userAgent,userAgentMetadata"};
        // Touch is switched off explicitly; a browser without userAgentData gets no metadata.
        const QString safari = Shipped("Safari on iPhone");
        QTest::newRow("keys, landscape, Safari")
            << "-windowsize 240x320 -input keys -orientation landscape -user-agent \"" + safari +
                   '"'
            << 1.0
            << QStringList{metrics("320", "240", "1", "1", "90", "landscapePrimary"), touchOff,
                           mouseOff, "Emulation.setUserAgentOverride platform,userAgent"};
        // The engine's own user agent stays.
        QTest::newRow("mouse, no user agent")
            << "-windowsize 480x800 -input mouse" << 2.0
            << QStringList{metrics("480", "800", "1", "2", "0", "portraitPrimary"), touchOff,
                           mouseOff};
    }

    // What the engine is sent. A misspelt method or field is silently ignored there, so all of
    // it is checked here; the agent's values are judged from inside the page, where a misspelt
    // field of its metadata would show the engine's own.
    void commands()
    {
        QFETCH(QString, commandLine);
        QFETCH(qreal, scale);
        const EmulatorRequest request = ParseEmulatorArguments(QProcess::splitCommand(commandLine));
        QVERIFY2(request.problems.isEmpty(), qPrintable(request.problems.join(u'\n')));
        QStringList seen;
        for (const EmulationCommand &command : EmulationCommands(
                 Device::FromRequest(request), DeriveUserAgentDetails(request.userAgent), scale))
            seen << command.method + ' ' +
                        (command.method.endsWith("UserAgentOverride")
                             ? command.params.keys().join(',')
                             : QString(
                                   QJsonDocument(command.params).toJson(QJsonDocument::Compact)))
                            .replace('"', '\'');
        QTEST(seen, "commands");
    }

    void windowTitle_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("expected");

        const QString product = " - Velmora Mobile Emulator (private)";
        QTest::newRow("none") << "" << product.mid(3);
        QTest::newRow("the start page") << "Velmora Mobile Emulator" << product.mid(3);
        // A page's title cannot hide or reorder the rest, nor spread over lines.
        QTest::newRow("lines, controls, bidi")
            << QString::fromUtf8(" A\n\tB\x07 \u202EC ") << "A B C" + product;
        QTest::newRow("long, cut whole") << QString(78, u'x') + QString::fromUtf8("\U0001F600yz")
                                         << QString(78, u'x') + QChar(0x2026) + product;
    }

    void windowTitle()
    {
        QFETCH(QString, page);
        const ProfileDirectory none{QString()};
        QTEST(EmulatorWindowTitle(EmulatorRequest(), none, page), "expected");
    }

    void profileDirectoryName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("encoded");

        const auto row = [](const char *name, const QString &given, const QString &encoded) {
            QTest::newRow(name) << given << encoded;
        };
        row("kept as is", "phone-1_b", "phone-1_b");
        // Names differing in case alone stay apart where the file system ignores case.
        row("upper case", "Phone", "%50hone");
        row("cannot climb", "../x", "%2E%2E%2Fx");
        row("blank, backslash, colon", "a b\\c:", "a%20b%5Cc%3A");
        row("UTF-8 bytes", QString::fromUtf8("é"), "%C3%A9");
        row("reserved on Windows", "con", "%63on");
        row("reserved port", "lpt1", "%6Cpt1");
        row("not reserved", "com", "com");
        row("long, cut with a digest", QString(130, u'a'), QString(103, u'a') + '~');
        // The cut never splits an escape.
        row("long, escape at the cut", QString(102, u'a') + "ZZZZZZZ", QString(102, u'a') + '~');
    }

    // Distinct names give distinct directory names of safe characters and bounded length.
    void profileDirectoryName()
    {
        QFETCH(QString, name);
        QFETCH(QString, encoded);
        const QString seen = ProfileDirectory::EncodedName(name);
        if (encoded.endsWith('~')) {
            QVERIFY2(seen.startsWith(encoded) && seen.size() == encoded.size() + 16,
                     qPrintable(seen));
            QVERIFY(ProfileDirectory::EncodedName(name + 'b') != seen);
        } else {
            QCOMPARE(seen, encoded);
        }
        QVERIFY(seen.size() <= 120);
    }

    // Everything the emulator creates for a profile, up from the data location, is the user's
    // alone: the names tell which profiles the user keeps.
    void profileDirectoryPrivate()
    {
#ifndef Q_OS_UNIX
        QSKIP("the folders' modes and XDG_DATA_HOME are Unix's");
#endif
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        ProfileDirectory directory(QStringLiteral("Phone"));
        QVERIFY2(directory.isClaimed(), qPrintable(directory.problem()));
        QVERIFY(directory.path().startsWith(data.path()));
        for (QString path = directory.path(); path != data.path(); path = QFileInfo(path).path())
            QVERIFY2(!(QFile::permissions(path) & 0x0077), qPrintable(path)); // group, others
        // A second emulator with the same name is turned away.
        ProfileDirectory second(QStringLiteral("Phone"));
        QVERIFY(!second.isClaimed() && second.isInUse());
    }
};

QTEST_GUILESS_MAIN(TestEmulatorCore)
#include "tst_emulatorcore.moc"
