// The fixed-format record rules on which every file of the system rests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "records.h"
#include "units.h"

namespace tarn {
namespace {

float read_real(const std::string& field, const char* layout) {
  float v = -999.0f;
  EXPECT_EQ(parse_record(field, Layout(layout), {v}), ReadStatus::kOk);
  return v;
}

TEST(RecordRead, RealFieldsTakeBlanksAsNothingAndHonourTheDecimalPoint) {
  EXPECT_FLOAT_EQ(read_real(" 1.9", "(F5.0)"), 1.9f);
  EXPECT_FLOAT_EQ(read_real("    2", "(F5.0)"), 2.0f);
  EXPECT_FLOAT_EQ(read_real("", "(F10.0)"), 0.0f);
  EXPECT_FLOAT_EQ(read_real("1 2 5", "(F5.0)"), 125.0f);
  EXPECT_FLOAT_EQ(read_real(" 0.600E+07", "(E10.3)"), 6.0e6f);
  EXPECT_FLOAT_EQ(read_real("-2.5e-3", "(F10.0)"), -2.5e-3f);
}

TEST(RecordRead, FieldWithoutPointIsScaledByTheImpliedDecimals) {
  EXPECT_FLOAT_EQ(read_real("12345", "(F10.2)"), 123.45f);
  EXPECT_FLOAT_EQ(read_real("1.5", "(F10.2)"), 1.5f);
  EXPECT_FLOAT_EQ(read_real("15E1", "(F10.1)"), 15.0f);
}

TEST(RecordRead, TwoIntegerControlRecordReadsAsIterationRecordWithZeros) {
  Layout iteration("(2I5, 3F10.0, 4F5.0, I5)");
  int32_t ns = 9, ityp = 9, follow = 9;
  float em = 9, alp = 9, tol = 9, xs = 9, xm = 9, ep = 9, qcp = 9;
  ASSERT_EQ(parse_record("   -1    1", iteration, {ns, ityp, em, alp, tol, xs, xm, ep, qcp, follow}),
            ReadStatus::kOk);
  EXPECT_EQ(ns, -1);
  EXPECT_EQ(ityp, 1);
  for (float v : {em, alp, tol, xs, xm, ep, qcp}) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(follow, 0);
}

TEST(RecordRead, CharactersANumericFieldCannotTakeAreAnError) {
  int32_t i = 0;
  float r = 0;
  EXPECT_EQ(parse_record("  1.5", Layout("(I5)"), {i}), ReadStatus::kError);
  EXPECT_EQ(parse_record("  abc", Layout("(F5.0)"), {r}), ReadStatus::kError);
  EXPECT_EQ(parse_record("1-2", Layout("(I5)"), {i}), ReadStatus::kError);
}

TEST(RecordRead, TextFieldsKeepTheirColumnsAndIgnoreWhatLiesBeyond) {
  std::string title(68, 'T');
  title[0] = ' ';
  title[67] = 'Z';
  int32_t ivp = 0;
  std::string got;
  ASSERT_EQ(parse_record("    4" + title + "surplus", Layout("(I5, A68)"), {ivp, got}), ReadStatus::kOk);
  EXPECT_EQ(ivp, 4);
  EXPECT_EQ(got, title);
  std::string name;
  ASSERT_EQ(parse_record("AB", Layout("(A12)"), {name}), ReadStatus::kOk);
  EXPECT_EQ(name, "AB          ");
}

TEST(RecordRead, SkipsAndRecordBreaksMoveThroughColumnsAndLines) {
  struct Lines : LineSource {
    std::vector<std::string> l{"xx  7", "   42"};
    size_t k = 0;
    bool next_line(std::string& s) override { return k < l.size() ? (s = l[k++], true) : false; }
  } src;
  int32_t a = 0, b = 0;
  ASSERT_EQ(read_record(src, Layout("(2X, I3, /, I5)"), {a, b}), ReadStatus::kOk);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 42);
  int32_t c = 0;
  EXPECT_EQ(read_record(src, Layout("(I5)"), {c}), ReadStatus::kEnd);
}

TEST(RecordRead, ListDirectedValuesRunAcrossLinesAndSkipTheRestOfTheLast) {
  struct Lines : LineSource {
    std::vector<std::string> l{"1, 101", "  101 0.0", "1.0 trailing words", "  0.5 0.25"};
    size_t k = 0;
    bool next_line(std::string& s) override { return k < l.size() ? (s = l[k++], true) : false; }
  } src;
  int32_t flag = 0, nu = 0, nl = 0;
  float xle = -1, xte = -1, x = 0, z = 0;
  ASSERT_EQ(read_list(src, {flag, nu, nl, xle, xte}), ReadStatus::kOk);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(nl, 101);
  EXPECT_EQ(xte, 1.0f);
  ASSERT_EQ(read_list(src, {x, z}), ReadStatus::kOk);
  EXPECT_EQ(z, 0.25f);
  EXPECT_EQ(read_list(src, {x}), ReadStatus::kEnd);
}

TEST(RecordRead, ListDirectedNonNumericValueIsAnError) {
  struct Lines : LineSource {
    bool next_line(std::string& s) override { return s = "0.1 zz", true; }
  } src;
  float x = 0, z = 0;
  EXPECT_EQ(read_list(src, {x, z}), ReadStatus::kError);
}

std::vector<std::string> write(const char* layout, const std::vector<Value>& values) {
  return format_records(Layout(layout), values);
}

TEST(RecordWrite, NumbersAreRightJustifiedAndOverflowFillsWithAsterisks) {
  EXPECT_EQ(write("(I3)", {12345}), std::vector<std::string>{"***"});
  EXPECT_EQ(write("(I5)", {-12}), std::vector<std::string>{"  -12"});
  EXPECT_EQ(write("(F8.4)", {-1.5f}), std::vector<std::string>{" -1.5000"});
  EXPECT_EQ(write("(F4.2)", {123.0f}), std::vector<std::string>{"****"});
  EXPECT_EQ(write("(F7.5)", {-0.00123f}), std::vector<std::string>{"-.00123"});
}

TEST(RecordWrite, OptionalLeadingZeroIsDroppedOnlyWhenThereIsNoRoom) {
  EXPECT_EQ(write("(F5.4)", {0.75f}), std::vector<std::string>{".7500"});
  EXPECT_EQ(write("(F6.4)", {0.75f}), std::vector<std::string>{"0.7500"});
  EXPECT_EQ(write("(F10.5)", {0.0f}), std::vector<std::string>{"   0.00000"});
}

// The C library's conversion of the exact binary value is the reference for
// the digits of both forms: exact ties (0.125 to two decimals) go to the even
// digit, negative values that round to zero keep their sign, a mantissa that
// rounds up to ten moves the exponent, and every float of every binade from
// the tiny to the large, at every number of digits, prints the same.
std::string c_library_exp(float v, int d) {
  if (v == 0.0f || d == 0) return std::string(v < 0.0f ? "-" : "") + "0." + std::string(static_cast<size_t>(d), '0') + "E+00";
  char c[64];
  std::snprintf(c, sizeof c, "%.*E", d - 1, std::fabs(static_cast<double>(v)));
  std::string b = c;
  size_t e = b.find('E');
  int exponent = std::atoi(b.c_str() + e + 1) + 1;
  std::snprintf(c, sizeof c, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return std::string(v < 0.0f ? "-" : "") + "0." + b.substr(0, 1) + (d > 1 ? b.substr(2, e - 2) : "") + c;
}

TEST(RecordWrite, FixedAndExponentFormsPrintTheDigitsTheCLibraryPrints) {
  std::vector<float> values = {0.0f, -0.0f, 0.125f, 0.375f, 2.5f, 3.5f, -0.001f, 1.0e-30f, 17179869184.0f,
                               9.9996f, 0.099999f, 1.0e-5f, 1.0e7f, 6.0e6f, 999999.94f};
  uint32_t bits = 12345u;
  for (int k = 0; k < 10000; ++k) {
    bits = bits * 1664525u + 1013904223u;
    float v = 0.0f;
    uint32_t pattern = (bits & 0x807FFFFFu) | ((96u + (bits >> 8) % 70u) << 23);  // |v| from 2^-31 to 2^38
    std::memcpy(&v, &pattern, sizeof v);
    values.push_back(v);
  }
  for (float v : values)
    for (int d = 0; d <= 10; ++d) {
      char c[64];
      std::snprintf(c, sizeof c, d == 0 ? "%.*f." : "%.*f", d, static_cast<double>(v));
      ASSERT_EQ(format_fixed(v, 60, d), std::string(60 - std::strlen(c), ' ') + c) << v << " to " << d << " decimals";
      std::string e = c_library_exp(v, d);
      ASSERT_EQ(format_exp(v, 60, d), std::string(60 - e.size(), ' ') + e) << v << " to " << d << " digits";
    }
}

TEST(RecordWrite, ExponentFormHasAMantissaBelowOne) {
  EXPECT_EQ(write("(E10.3)", {6.0e6f}), std::vector<std::string>{" 0.600E+07"});
  EXPECT_EQ(write("(E12.3)", {0.0012345f}), std::vector<std::string>{"   0.123E-02"});
  EXPECT_EQ(write("(E11.4)", {-98765.4f}), std::vector<std::string>{"-0.9877E+05"});
  EXPECT_EQ(write("(E10.3)", {0.0f}), std::vector<std::string>{" 0.000E+00"});
  EXPECT_EQ(write("(E10.3)", {0.99996f}), std::vector<std::string>{" 0.100E+01"});
  EXPECT_EQ(write("(E9.3)", {-5.0f}), std::vector<std::string>{"-.500E+01"});
}

TEST(RecordWrite, MoreValuesThanItemsStartTheLayoutAgainOnANewRecord) {
  EXPECT_EQ(write("(2I5)", {1, 2, 3, 4}), (std::vector<std::string>{"    1    2", "    3    4"}));
  EXPECT_EQ(write("(' ', 10X, 5F12.7)", {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}).size(), 2u);
}

TEST(RecordWrite, WritingStopsAtTheFirstItemWithoutAValue) {
  EXPECT_EQ(write("(' IVP = ', I1, 4X, 'NVISC = ', I3, 4X, 'G')", {4}),
            std::vector<std::string>{" IVP = 4    NVISC = "});
  EXPECT_EQ(write("('+', 'NS ', I7, '    ITYP ', I3, '   EM ', F8.4)", {160, 0}),
            std::vector<std::string>{"+NS     160    ITYP   0   EM "});
}

TEST(RecordWrite, LiteralsAndBreaksWithoutValuesAreWrittenWhole) {
  EXPECT_EQ(write("(/,/,' UPPER SURFACE.',/)", {}),
            (std::vector<std::string>{"", "", " UPPER SURFACE.", ""}));
  EXPECT_EQ(write("(' It''s')", {}), std::vector<std::string>{" It's"});
}

TEST(RecordWrite, GroupsRepeatAndTextIsRightJustifiedOrCut) {
  EXPECT_EQ(write("(2(1X, I2))", {1, 2}), std::vector<std::string>{"  1  2"});
  EXPECT_EQ(write("(A6)", {"ab"}), std::vector<std::string>{"    ab"});
  EXPECT_EQ(write("(A3)", {"abcdef"}), std::vector<std::string>{"abc"});
  EXPECT_EQ(write("(A)", {"free"}), std::vector<std::string>{"free"});
}

TEST(RecordWrite, MalformedLayoutsAndMismatchedValuesAreRefused) {
  EXPECT_THROW(Layout("I5"), std::invalid_argument);
  EXPECT_THROW(Layout("(I5, Q3)"), std::invalid_argument);
  EXPECT_THROW(Layout("('open)"), std::invalid_argument);
  EXPECT_THROW(write("(I5)", {1.5f}), std::invalid_argument);
  EXPECT_THROW(write("(' text')", {1}), std::invalid_argument);
}

TEST(Console, PlusOverwritesTheCurrentLineAndBlankStartsANewOne) {
  Units u;
  u.capture(kConsoleOut);
  u.write_line(kConsoleOut, " first");
  u.write_line(kConsoleOut, "+second");
  u.write_line(kConsoleOut, " third");
  u.close(kConsoleOut);
  EXPECT_EQ(u.captured(kConsoleOut), "first\rsecond\nthird\n");
}

TEST(Console, ReadingEndsTheOpenLineSoAnswersStartOnTheirOwnLine) {
  Units u;
  u.capture(kConsoleOut);
  u.feed(kConsoleIn, "RUN1\n");
  u.write_list(kConsoleOut, "Enter name.");
  std::string reply;
  ASSERT_TRUE(u.read_line(kConsoleIn, reply));
  u.write_line(kConsoleOut, " next");
  EXPECT_EQ(reply, "RUN1");
  EXPECT_EQ(u.captured(kConsoleOut), "Enter name.\nnext");
}

TEST(Units, ReadFailureStopsWithTheReadersMessage) {
  Units u;
  u.feed(14, "   abc\n");
  int32_t i = 0;
  try {
    u.read(14, Layout("(I5)"), i);
    FAIL() << "no stop";
  } catch (const RunStop& stop) {
    EXPECT_EQ(stop.status, kExitBadInput);
    EXPECT_NE(std::string(stop.what()).find("unit 14"), std::string::npos);
  }
  EXPECT_THROW(u.read(14, Layout("(I5)"), i), RunStop);  // end of file
}

TEST(Units, MissingExistingFileStopsTheRun) {
  Units u;
  EXPECT_THROW(u.open(14, "/nonexistent/NOFILE.TIN", OpenStatus::kExisting), RunStop);
  EXPECT_FALSE(u.is_open(14));
}

}  // namespace
}  // namespace tarn
