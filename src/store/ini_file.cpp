#include "store/ini_file.h"

#include <QList>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>

#include "platform/file_read_posix.h"
#include "platform/file_replace_posix.h"
#include "store/integer_text.h"

namespace store {
namespace {

// One line of the file, kept with its own line ending so untouched lines are written back as
// they were read.
struct Line {
  QByteArray text;
  QByteArray ending;
};

QList<Line> splitLines(const QByteArray& all) {
  QList<Line> lines;
  qsizetype start = 0;
  while (start < all.size()) {
    qsizetype lf = all.indexOf('\n', start);
    const qsizetype next = lf < 0 ? all.size() : lf + 1;
    qsizetype end = lf < 0 ? all.size() : lf;
    if (end > start && all[end - 1] == '\r') --end;
    lines.append({all.mid(start, end - start), all.mid(end, next - end)});
    start = next;
  }
  return lines;
}

// A file that cannot be read gives the readers their defaults.
QList<Line> readLines(const QString& path) {
  QByteArray all;
  if (platform::readFileWhole(path, all)) return {};
  return splitLines(all);
}

// A writer starts from nothing only where there is no file yet: one that exists but cannot be
// read would otherwise be replaced by a file holding the one key written.
QList<Line> linesToRewrite(const QString& path) {
  QByteArray all;
  if (const auto failure = platform::readFileWhole(path, all)) {
    if (failure->code != ENOENT) throw IniWriteError(path);
    return {};
  }
  return splitLines(all);
}

std::optional<QString> sectionName(const QByteArray& line) {
  const QByteArray t = line.trimmed();
  if (!t.startsWith('[')) return std::nullopt;
  const qsizetype close = t.indexOf(']');
  if (close < 0) return std::nullopt;
  return QString::fromUtf8(t.mid(1, close - 1)).trimmed();
}

struct KeyLine {
  QString key;
  QString value;
};

std::optional<KeyLine> keyLine(const QByteArray& line) {
  const qsizetype eq = line.indexOf('=');
  if (eq < 0) return std::nullopt;
  return KeyLine{QString::fromUtf8(line.left(eq)).trimmed(),
                 QString::fromUtf8(line.mid(eq + 1)).trimmed()};
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Index range [begin, end) of the lines that belong to the first section of that name; begin
// is the section line itself. Nothing when the section is absent.
std::optional<std::pair<qsizetype, qsizetype>> findSection(const QList<Line>& lines,
                                                           const QString& section) {
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const auto name = sectionName(lines[i].text);
    if (!name || !sameName(*name, section)) continue;
    qsizetype end = i + 1;
    while (end < lines.size() && !sectionName(lines[end].text)) ++end;
    return std::pair{i, end};
  }
  return std::nullopt;
}

std::optional<qsizetype> findKey(const QList<Line>& lines, std::pair<qsizetype, qsizetype> range,
                                 const QString& key) {
  for (qsizetype i = range.first + 1; i < range.second; ++i) {
    const auto kv = keyLine(lines[i].text);
    if (kv && sameName(kv->key, key)) return i;
  }
  return std::nullopt;
}

const QByteArray kNewLine = QByteArrayLiteral("\r\n");

}  // namespace

IniWriteError::IniWriteError(const QString& path)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString()) {}

std::optional<QString> IniFile::readValue(const QString& section, const QString& key) const {
  const QList<Line> lines = readLines(path_);
  const auto range = findSection(lines, section);
  if (!range) return std::nullopt;
  const auto at = findKey(lines, *range, key);
  if (!at) return std::nullopt;
  return keyLine(lines[*at].text)->value;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
  return readValue(section, key).value_or(def);
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
  const auto value = readValue(section, key);
  if (!value) return def;
  return IniIntegerValue(*value).value_or(def);
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
  return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) const {
  QList<Line> lines = linesToRewrite(path_);
  const auto range = findSection(lines, section);
  if (!range) {
    // A last line ended by a lone CR (or by nothing) is not ended for the reader, which splits
    // at LF only: complete it, or the new line would run on from it.
    if (!lines.isEmpty() && !lines.last().ending.endsWith('\n')) lines.last().ending = kNewLine;
    lines.append({'[' + section.toUtf8() + ']', kNewLine});
    lines.append({key.toUtf8() + '=' + value.toUtf8(), kNewLine});
  } else if (const auto at = findKey(lines, *range, key)) {
    const QString spelling = keyLine(lines[*at].text)->key;
    lines[*at].text = spelling.toUtf8() + '=' + value.toUtf8();
  } else {
    // After the section's last non-blank line, so blank lines before the next section stay.
    qsizetype insertAt = range->second;
    while (insertAt > range->first + 1 && lines[insertAt - 1].text.trimmed().isEmpty()) --insertAt;
    if (!lines[insertAt - 1].ending.endsWith('\n')) lines[insertAt - 1].ending = kNewLine;
    lines.insert(insertAt, {key.toUtf8() + '=' + value.toUtf8(), kNewLine});
  }
  QByteArray content;
  for (const Line& line : lines) content += line.text + line.ending;
  if (platform::replaceFileWhole(path_, content)) throw IniWriteError(path_);
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) const {
  writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) const {
  writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

std::optional<int> IniIntegerValue(const QString& value) {
  QByteArray text = value.toUtf8();
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text = '$' + text.mid(2);
  }
  return ParseInteger(text);
}

QString EscapeOneLine(const QString& text) {
  // The reader trims blanks around a value, so blanks at either end are written as "\uHHHH".
  qsizetype first = 0;
  while (first < text.size() && text[first].isSpace()) ++first;
  qsizetype last = text.size();
  while (last > first && text[last - 1].isSpace()) --last;
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\\')
      out += QStringLiteral("\\\\");
    else if (c == u'\n')
      out += QStringLiteral("\\n");
    else if (c == u'\r')
      out += QStringLiteral("\\r");
    else if (i < first || i >= last)
      out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
    else
      out += c;
  }
  return out;
}

QString UnescapeOneLine(const QString& text) {
  const auto isHexDigit = [](QChar c) { return std::isxdigit(c.unicode()) && c.unicode() < 128; };
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
    const QStringView code = QStringView(text).mid(i + 2, 4);
    if (c != u'\\') {
      out += c;
    } else if (next == u'n' || next == u'r' || next == u'\\') {
      out += next == u'n' ? QChar(u'\n') : next == u'r' ? QChar(u'\r') : next;
      ++i;
    } else if (next == u'u' && code.size() == 4 &&
               std::all_of(code.begin(), code.end(), isHexDigit)) {
      out += QChar(code.toUShort(nullptr, 16));
      i += 5;
    } else {
      out += c;  // not one of ours: the backslash stands as it is
    }
  }
  return out;
}

}  // namespace store
