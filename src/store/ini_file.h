#pragma once
// An ini file read and written with profile semantics:
// - "[name]" starts a section; "key=value" sets a key, the value being the rest of the line after
//   the first "=", blanks around key and value not part of them;
// - sections and keys match without regard to letter case;
// - a write of an existing key replaces its value in place, under the key's existing spelling;
//   a new key goes at the end of its section, a new section at the end of the file, and a
//   missing file is created by the first write; nothing else in the file changes;
// - every call is a complete access: the file is read (and rewritten) and closed again, nothing
//   is cached, so every read sees the latest write;
// - a missing file, section or key, and an unreadable integer, yield the caller's default.
// Every write replaces the file whole (temporary file, then rename). Text is UTF-8, the
// locale's encoding here; new lines end in CR LF. Only the GUI thread uses these files.

#include <QString>
#include <optional>
#include <stdexcept>

namespace store {

// "Unable to write to <path>": the system refused a write of the file.
class IniWriteError : public std::runtime_error {
 public:
  explicit IniWriteError(const QString& path);
};

class IniFile {
 public:
  explicit IniFile(QString path) : path_(std::move(path)) {}

  const QString& path() const { return path_; }

  // The value, or nothing when the file, section or key is missing.
  std::optional<QString> readValue(const QString& section, const QString& key) const;
  QString readString(const QString& section, const QString& key, const QString& def) const;
  // A value as IniIntegerValue reads it.
  int readInteger(const QString& section, const QString& key, int def) const;
  // An integer; any value other than 0 is true.
  bool readBool(const QString& section, const QString& key, bool def) const;

  void writeString(const QString& section, const QString& key, const QString& value) const;
  void writeInteger(const QString& section, const QString& key, int value) const;
  void writeBool(const QString& section, const QString& key, bool value) const;

 private:
  QString path_;
};

// A stored value as an integer: decimal with an optional sign; "0x"/"0X" or "$" introduce
// hexadecimal. Nothing when it is not one.
std::optional<int> IniIntegerValue(const QString& value);

// A value holds one line, and the reader trims the blanks around it. These turn line breaks (and
// the backslash that escapes them) into "\n", "\r" and "\\", and blanks at either end into
// "\uHHHH", and back, so any text survives a store and a read exactly.
QString EscapeOneLine(const QString& text);
QString UnescapeOneLine(const QString& text);

}  // namespace store
