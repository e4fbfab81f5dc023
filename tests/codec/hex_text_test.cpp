#include "codec/hex_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

using codec::BytesToHexText;
using codec::HexTextToBytes;
using codec::NormalizeHexText;

TEST(NormalizeHexText, FollowsTheScanningRulesOnTypicalInputs) {
  const struct {
    QByteArray input;
    QByteArray expected;
  } cases[] = {
      {"", ""},
      {"A", ""},
      {"01 02 03", "01 02 03"},
      {"010203", "01 02 03"},
      {"  0a0B\r\n0c  ", "0a 0B 0c"},
      {"1 2 3", ""},
      {"0A0B0", "0A 0B"},
      {"ABC", "AB"},
      {"A BC", "BC"},
      {"12,34;56", "12 34 56"},
      {"0x1F", "1F"},
      {"G1 23", "23"},
      {"\xe4\xb8\xad\xe6\x96\x87", ""},  // two Chinese characters in UTF-8
      {"\t\x01"
       "ff\x7f"
       "ee",
       "ff ee"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormalizeHexText(c.input), c.expected) << "input: " << c.input.toStdString();
  }
}

TEST(NormalizeHexText, NormalFormIsAFixedPoint) {
  const QByteArray normal = NormalizeHexText("x 12ab\tcd;ef 0");
  EXPECT_EQ(normal, "12 ab cd ef");
  EXPECT_EQ(NormalizeHexText(normal), normal);
}

TEST(BytesToHexText, RendersUpperCasePairsSeparatedByOneBlank) {
  EXPECT_EQ(BytesToHexText(QByteArray("\x0a", 1)), "0A");
  EXPECT_EQ(BytesToHexText(QByteArray("\x00\xff\x10", 3)), "00 FF 10");
  EXPECT_EQ(BytesToHexText(QByteArray()), "");
  // Framed: the same text between two others, as a received line has it.
  EXPECT_EQ(codec::FramedHexText(u"RX:", QByteArray("\x00\xff\x10", 3), u" (1)"),
            QStringLiteral("RX:00 FF 10 (1)"));
  EXPECT_EQ(codec::FramedHexText(u"RX:", QByteArray(), u")"), QStringLiteral("RX:)"));
  EXPECT_EQ(codec::FramedHexText({}, QByteArray("\x7f", 1), {}), QStringLiteral("7F"));
  EXPECT_EQ(BytesToHexText(QByteArray(2048, 'a')).size(), 3 * 2048 - 1);
}

TEST(HexText, EveryByteRoundTrips) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QByteArray text = BytesToHexText(all);
  EXPECT_EQ(NormalizeHexText(text), text);
  EXPECT_EQ(HexTextToBytes(text), all);
  EXPECT_EQ(HexTextToBytes(codec::UpperCaseAscii(text.toLower())), all);
}

TEST(HexTextToBytes, ReadsCountPairsAndRejectsNonDigits) {
  EXPECT_EQ(HexTextToBytes("00 FF 10"), QByteArray("\x00\xff\x10", 3));
  EXPECT_TRUE(HexTextToBytes("").isEmpty());
  EXPECT_THROW(HexTextToBytes("0G"), std::invalid_argument);
}

TEST(UpperCaseAscii, ChangesOnlyLettersAToZ) {
  EXPECT_EQ(codec::UpperCaseAscii("0a 0b \xe4\xb8\xad"), QByteArray("0A 0B \xe4\xb8\xad"));
}
