#include "gui/text/LocaleDateTime.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace drivlet::gui {

namespace {

std::string Text(TDateTime value, bool omitMidnight) {
    const DateParts parts = DecodeDateTime(value);
    const QLocale locale = QLocale::system();
    QString text = locale.toString(QDate(parts.year, parts.month, parts.day), QLocale::ShortFormat);
    const QTime time(parts.hour, parts.minute, parts.second);
    if (!omitMidnight || time != QTime(0, 0)) {
        text += QLatin1Char(' ');
        text += locale.toString(time, QLocale::LongFormat);
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
