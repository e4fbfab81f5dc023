#include "codec/text_codec.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QString kNihao = QStringLiteral("你好");
const QByteArray kNihaoGbk("\xC4\xE3\xBA\xC3", 4);
const QByteArray kNihaoUtf8("\xE4\xBD\xA0\xE5\xA5\xBD", 6);

}  // namespace

TEST(TextDecoder, ReadsGbkAndGb2312BytesAsGb18030AndJoinsCharactersCutBetweenChunks) {
  codec::TextDecoder gb(codec::kGb18030);
  EXPECT_EQ(gb.decode(kNihaoGbk), kNihao);
  // 啊 is the first character of GB2312, € lies beyond GBK, 😀 takes four bytes.
  EXPECT_EQ(gb.decode(QByteArray("\xB0\xA1\xA2\xE3\x94\x39\xFC\x36", 8)), QStringLiteral("啊€😀"));

  // Each cut keeps the incomplete tail for the next chunk: nothing is lost or doubled.
  const QByteArray stream =
      QByteArray("A") + kNihaoGbk + "\x94\x39\xFC\x36" + QByteArray("\r\n\0B", 4);
  for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
    codec::TextDecoder split(codec::kGb18030);
    const QString first = split.decode(stream.first(cut));
    const QString rest = split.decode(stream.sliced(cut));
    EXPECT_EQ(first + rest, QStringLiteral("A你好😀\r\n") + QChar(0) + u'B') << cut;
    EXPECT_FALSE(first.contains(QChar::ReplacementCharacter)) << cut;
  }
  codec::TextDecoder utf8(codec::kUtf8);
  EXPECT_EQ(utf8.decode(kNihaoUtf8.first(4)), QStringLiteral("你"));
  EXPECT_EQ(utf8.decode(kNihaoUtf8.sliced(4) + "!"), QStringLiteral("好!"));

  // Bytes that form no character are one replacement each, and take nothing after them along.
  codec::TextDecoder bad(codec::kGb18030);
  EXPECT_EQ(bad.decode(QByteArray("\x81\0A\xFF", 4)),
            QString(QChar::ReplacementCharacter) + QChar(0) + u'A' + QChar::ReplacementCharacter);
  EXPECT_THROW(codec::TextDecoder("NO-SUCH-SET"), std::invalid_argument);
}

TEST(EncodeText, GivesTheBytesOfTheCharacterSetOrNamesTheFirstCharacterItCannotRepresent) {
  EXPECT_EQ(codec::EncodeText(kNihao, codec::kGb18030).bytes, kNihaoGbk);
  EXPECT_EQ(codec::EncodeText(kNihao, codec::kUtf8).bytes, kNihaoUtf8);
  const codec::EncodedText emoji = codec::EncodeText(QStringLiteral("a😀\r\n"), codec::kGb18030);
  EXPECT_EQ(emoji.bytes, QByteArray("a\x94\x39\xFC\x36\r\n"));
  EXPECT_FALSE(emoji.unrepresentable);

  QString broken = QStringLiteral("ok😀");
  broken.append(QChar(0xDC00)).append(u'z');
  for (const QString& charset : {codec::kUtf8, codec::kGb18030}) {
    const codec::EncodedText failed = codec::EncodeText(broken, charset);
    EXPECT_EQ(failed.unrepresentable, char32_t(0xDC00)) << charset.toStdString();
    EXPECT_TRUE(failed.bytes.isEmpty()) << charset.toStdString();
  }
}
