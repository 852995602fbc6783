#include "core/startpage.h"

namespace {

QString Row(const QString &label, const QString &valueHtml)
{
    return QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(label, valueHtml);
}

QString Measured(const QString &id)
{
    return QStringLiteral("<span id=\"%1\">&ndash;</span>").arg(id);
}

} // namespace

QString StartPageHtml(const EmulatorRequest &request, const Device &device,
                      const QString &profileDescription)
{
    const QSize css = device.cssSize();
    const QString requested = QStringLiteral("%1 &times; %2 device pixels at %3 ppi, ratio %4")
                                  .arg(device.pixels.width())
                                  .arg(device.pixels.height())
                                  .arg(request.ppi)
                                  .arg(device.ratio);
    const QString expectedViewport =
        QStringLiteral("%1 &times; %2 CSS pixels").arg(css.width()).arg(css.height());
    const QString userAgent = request.userAgent.isEmpty() ? QStringLiteral("the browser's own")
                                                          : request.userAgent.toHtmlEscaped();

    QString rows;
    rows += Row(QStringLiteral("Screen"), requested);
    rows += Row(QStringLiteral("Expected viewport"), expectedViewport);
    rows += Row(QStringLiteral("Measured viewport"), Measured(QStringLiteral("viewport")));
    rows += Row(QStringLiteral("Input"), InputMethodName(device.input));
    rows += Row(QStringLiteral("Touch points"), Measured(QStringLiteral("touch")));
    rows += Row(QStringLiteral("Requested user agent"), userAgent);
    rows += Row(QStringLiteral("Page sees user agent"), Measured(QStringLiteral("agent")));
    rows += Row(QStringLiteral("Emulated"),
                ConditionsSummary(request.conditions, request.safeArea).toHtmlEscaped());
    rows += Row(QStringLiteral("Profile"), profileDescription.toHtmlEscaped());
    rows += Row(QStringLiteral("Keys"),
                QStringLiteral("Ctrl+R rotate; Ctrl+plus, Ctrl+minus, Ctrl+0 zoom (the page "
                               "sees the same device); F12 inspect; Ctrl+Shift+S screenshot, "
                               "Ctrl+Shift+F of the whole page"));

    return QStringLiteral(
               "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
               "<meta name=\"viewport\" content=\"width=device-width\">\n"
               "<title>Velmora Mobile Emulator</title>\n<style>\n"
               "body { font-family: sans-serif; margin: 12px; }\n"
               "h1 { font-size: 1.3em; }\n"
               "table { border-collapse: collapse; width: 100%; }\n"
               "th, td { text-align: left; vertical-align: top; padding: 4px; "
               "border-bottom: 1px solid #ccc; }\n"
               "td { overflow-wrap: anywhere; }\n"
               "th { width: 35%; }\n</style></head>\n<body>\n"
               "<h1>Velmora Mobile Emulator</h1>\n<table>\n%1</table>\n"
               "<p>Type an address or a file path in the field above the page.</p>\n<script>\n"
               "function show() {\n"
               "  document.getElementById('viewport').textContent = innerWidth + ' \\u00d7 ' +\n"
               "    innerHeight + ' CSS pixels, ratio ' + devicePixelRatio;\n"
               "  document.getElementById('touch').textContent = navigator.maxTouchPoints +\n"
               "    ('ontouchstart' in window ? ', touch events' : ', no touch events');\n"
               "  document.getElementById('agent').textContent = navigator.userAgent;\n"
               "}\n"
               "show();\naddEventListener('resize', show);\n</script>\n</body></html>\n")
        .arg(rows);
}
