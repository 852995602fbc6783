#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

// Reports a broken rule with the texts involved and aborts, so that libFuzzer keeps the
// input as a crash artifact.
[[noreturn]] inline void FuzzFail(const char *rule, const QString &expected = QString(),
                                  const QString &actual = QString())
{
    std::fprintf(stderr, "\nRULE BROKEN: %s\n", rule);
    if (!expected.isNull() || !actual.isNull()) {
        std::fprintf(stderr, "expected: %s\nactual:   %s\n",
                     expected.toUtf8().toPercentEncoding(" ").constData(),
                     actual.toUtf8().toPercentEncoding(" ").constData());
    }
    std::abort();
}

inline void FuzzCheck(bool ok, const char *rule, const QString &expected = QString(),
                      const QString &actual = QString())
{
    if (!ok)
        FuzzFail(rule, expected, actual);
}
