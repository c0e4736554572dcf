#include <gtest/gtest.h>

#include "platform/cp932.h"

using namespace orva;

TEST(Cp932, RoundTripsJapaneseAndUsesWindowsMappings) {
  const QString text = QStringLiteral("地震情報～－①");
  const QByteArray bytes = cp932::fromUnicode(text);
  // "～" is 81 60 in code page 932 (not the 81 50 of plain Shift_JIS).
  EXPECT_TRUE(bytes.contains(QByteArray("\x81\x60", 2)));
  EXPECT_EQ(cp932::toUnicode(bytes), text);
  EXPECT_EQ(cp932::fromUnicode(QStringLiteral("接続")), QByteArray("\x90\xDA\x91\xB1"));
}

TEST(Cp932, UnrepresentableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(cp932::fromUnicode(QStringLiteral("a\u00E9b")), QByteArray("a?b"));
  // A character outside the basic plane is one "?" per UTF-16 unit.
  EXPECT_EQ(cp932::fromUnicode(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x??y"));
}

TEST(Cp932, DamagedBytesDecodeWithoutStopping) {
  const QString s = cp932::toUnicode(QByteArray("ab\x81", 3));
  EXPECT_TRUE(s.startsWith(QStringLiteral("ab")));
  EXPECT_EQ(cp932::toUnicode(QByteArray("\xFF" "z", 2)).right(1), QStringLiteral("z"));
}

TEST(Cp932, CompletePrefixKeepsASplitCharacterBack) {
  const QByteArray whole = cp932::fromUnicode(QStringLiteral("震度"));
  EXPECT_EQ(cp932::completePrefixLength(whole), whole.size());
  EXPECT_EQ(cp932::completePrefixLength(whole.left(3)), 2);
  EXPECT_EQ(cp932::completePrefixLength(QByteArray("abc")), 3);
}
