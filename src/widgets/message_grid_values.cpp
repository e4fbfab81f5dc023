#include "widgets/message_grid_values.h"

#include <QDateTime>
#include <QLocale>

namespace widgets {
namespace {

std::optional<double> readNumber(const QString& text) {
  bool ok = false;
  const QString t = text.trimmed();
  double value = QLocale::c().toDouble(t, &ok);
  if (!ok) value = QLocale().toDouble(t, &ok);
  return ok ? std::optional<double>(value) : std::nullopt;
}

std::optional<QDateTime> readDate(const QString& text) {
  const QString t = text.trimmed();
  for (const QString& format : {QStringLiteral("yyyy-M-d H:m:s"), QStringLiteral("yyyy/M/d H:m:s"),
                                QStringLiteral("yyyy-M-d H:m"), QStringLiteral("yyyy/M/d H:m")}) {
    const QDateTime dt = QDateTime::fromString(t, format);
    if (dt.isValid()) return dt;
  }
  for (const QString& format : {QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d"),
                                QStringLiteral("yyyy.M.d"), QStringLiteral("d.M.yyyy")}) {
    const QDate d = QDate::fromString(t, format);
    if (d.isValid()) return QDateTime(d, QTime(0, 0));
  }
  const QDate local = QLocale().toDate(t, QLocale::ShortFormat);
  if (local.isValid()) return QDateTime(local, QTime(0, 0));
  return std::nullopt;
}

QString canonicalDate(const QDateTime& dt) {
  if (dt.time() == QTime(0, 0)) return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
  return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

bool standsForToday(const QString& text) {
  const QString t = text.trimmed();
  return !t.isEmpty() && QStringLiteral("NTHJD").contains(t.front().toUpper());
}

QString formatNumber(double value, const QString& mask) {
  const qsizetype point = mask.indexOf(u'.');
  const QString fraction = point < 0 ? QString() : mask.mid(point + 1);
  const int fixedDecimals = static_cast<int>(fraction.count(u'0'));
  const int maxDecimals = fixedDecimals + static_cast<int>(fraction.count(u'#'));
  QLocale locale = QLocale::c();
  if (mask.left(point < 0 ? mask.size() : point).contains(u',')) {
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
  }
  QString text = locale.toString(value, 'f', maxDecimals);
  int optional = maxDecimals - fixedDecimals;
  while (optional-- > 0 && text.endsWith(u'0')) text.chop(1);
  if (text.endsWith(u'.')) text.chop(1);
  return text;
}

// Delphi-style date masks name months "m" and minutes "n"; Qt names them "M" and "m".
QString qtDateMask(QString mask) {
  mask.replace(u'm', u'M');
  mask.replace(u'n', u'm');
  return mask;
}

}  // namespace

std::optional<QString> CoerceCellText(TColumnFormat format, const QString& text, QDate today) {
  // An emptied cell stays empty, so a number or date can be removed again.
  if (text.trimmed().isEmpty()) return text;
  switch (format) {
    case TColumnFormat::cfString:
      return text;
    case TColumnFormat::cfNumber: {
      const auto value = readNumber(text);
      if (!value) return std::nullopt;
      return QString::number(*value, 'g', 15);
    }
    case TColumnFormat::cfDate: {
      if (standsForToday(text)) return today.toString(QStringLiteral("yyyy-MM-dd"));
      const auto date = readDate(text);
      if (!date) return std::nullopt;
      return canonicalDate(*date);
    }
  }
  return text;
}

QString DisplayCellText(const TColumn& column, const QString& text) {
  if (column.DisplayMask.isEmpty() || text.isEmpty()) return text;
  if (column.Format() == TColumnFormat::cfNumber) {
    const auto value = readNumber(text);
    if (value) return formatNumber(*value, column.DisplayMask);
  } else if (column.Format() == TColumnFormat::cfDate) {
    const auto date = readDate(text);
    if (date) return date->toString(qtDateMask(column.DisplayMask));
  }
  return text;
}

}  // namespace widgets
