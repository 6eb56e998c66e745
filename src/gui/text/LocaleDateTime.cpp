#include "gui/text/LocaleDateTime.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace drivlet::gui {

namespace {

// The user's long time form (with seconds) without its time zone: the times are local, and a
// zone name beside each adds nothing.
QString TimeFormatWithoutZone(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        out += c;
    }
    return out.trimmed();
}

std::string Text(TDateTime value, bool omitMidnight) {
    const DateParts parts = DecodeDateTime(value);
    const QLocale locale = QLocale::system();
    QString text = locale.toString(QDate(parts.year, parts.month, parts.day), QLocale::ShortFormat);
    const QTime time(parts.hour, parts.minute, parts.second);
    if (!omitMidnight || time != QTime(0, 0)) {
        text += QLatin1Char(' ');
        text += locale.toString(time, TimeFormatWithoutZone(locale));
    }
    return text.toStdString();
}

} // namespace

std::string LocaleDateTimeText(TDateTime value) {
    return Text(value, false);
}

std::string LocaleFileDateText(TDateTime value) {
    return Text(value, true);
}

} // namespace drivlet::gui
