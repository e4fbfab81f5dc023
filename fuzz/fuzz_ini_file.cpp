// Ini reader and writer on arbitrary file content. The input is three lines, a section, a key
// and a value, followed by the file's content. After writing the key, it reads back as the
// value, and every other key the file held reads as before. Names and values the program
// could never write (a key with "=", a section with "]", blanks around them, a line break)
// are skipped.
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QList>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "store/ini_file.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// One directory per fuzzing process on tmpfs, so the many rewrites cost no disk.
const QString& workDir() {
  static const QString dir = [] {
    QByteArray templ = QDir::tempPath().toLocal8Bit() + "/oruvo-fuzz-ini-XXXXXX";
    if (QDir("/dev/shm").exists()) templ = "/dev/shm/oruvo-fuzz-ini-XXXXXX";
    require(::mkdtemp(templ.data()) != nullptr);
    static QByteArray removeAtExit = templ;
    std::atexit([] { QDir(QString::fromLocal8Bit(removeAtExit)).removeRecursively(); });
    return QString::fromLocal8Bit(templ);
  }();
  return dir;
}

void writeFile(const QString& path, QByteArrayView content) {
  const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  require(fd >= 0);
  require(::write(fd, content.data(), content.size()) == content.size());
  ::close(fd);
}

bool writable(const QString& text) { return text == text.trimmed() && !text.contains(u'\r'); }

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The (section, key) pairs the content seems to hold, found the simple way; the reader is the
// authority on what they hold, this only chooses what to ask it.
QList<std::pair<QString, QString>> keysIn(const QByteArray& content) {
  constexpr qsizetype kMaxKeys = 16;
  QList<std::pair<QString, QString>> keys;
  QString section;
  for (const QByteArray& raw : content.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (line.startsWith('[') && line.contains(']')) {
      section = QString::fromUtf8(line.mid(1, line.indexOf(']') - 1)).trimmed();
    } else if (line.contains('=')) {
      keys.append({section, QString::fromUtf8(line.left(line.indexOf('='))).trimmed()});
      if (keys.size() == kMaxKeys) break;
    }
  }
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const qsizetype end1 = input.indexOf('\n');
  const qsizetype end2 = end1 < 0 ? -1 : input.indexOf('\n', end1 + 1);
  const qsizetype end3 = end2 < 0 ? -1 : input.indexOf('\n', end2 + 1);
  if (end3 < 0) return 0;
  const QString section = QString::fromUtf8(input.left(end1));
  const QString key = QString::fromUtf8(input.mid(end1 + 1, end2 - end1 - 1));
  const QString value = QString::fromUtf8(input.mid(end2 + 1, end3 - end2 - 1));
  const QByteArray content = input.mid(end3 + 1);
  if (!writable(section) || section.contains(u']')) return 0;
  if (!writable(key) || key.contains(u'=') || key.startsWith(u'[')) return 0;
  if (!writable(value)) return 0;

  const QString path = workDir() + QStringLiteral("/comset.ini");
  writeFile(path, content);
  const store::IniFile ini(path);
  const QString absent = QStringLiteral("\x01absent");

  QList<std::pair<QString, QString>> others;
  QStringList before;
  for (const auto& [s, k] : keysIn(content)) {
    if (sameName(s, section) && sameName(k, key)) continue;
    others.append({s, k});
    before.append(ini.readString(s, k, absent));
  }

  ini.writeString(section, key, value);

  require(ini.readString(section, key, absent) == value);
  for (qsizetype i = 0; i < others.size(); ++i) {
    require(ini.readString(others[i].first, others[i].second, absent) == before[i]);
  }
  return 0;
}
