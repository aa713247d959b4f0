#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "config/ConfigIniFile.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace {

using pixolan::config::EConfigWriteError;
using pixolan::config::ProtectEnclosingQuotes;
using pixolan::config::TConfigIniFile;
using pixolan::test::ReadFileText;
using pixolan::test::TTempFolder;
using pixolan::test::WriteFileText;
namespace fs = std::filesystem;

// UTF-16LE bytes of text, with the byte order mark unless told otherwise.
std::string Le(std::u16string_view text, bool mark = true) {
  std::string out;
  if (mark) out = "\xFF\xFE";
  for (const char16_t c : text) {
    out.push_back(char(c & 0xFF));
    out.push_back(char(c >> 8));
  }
  return out;
}

class ConfigIniFileTest : public ::testing::Test {
 protected:
  fs::path Path(const std::string& name = "test.pxc") const { return folder_ / name; }

  // Writes bytes as the file and returns its name.
  std::string MakeFile(std::string_view bytes, const std::string& name = "test.pxc") const {
    WriteFileText(Path(name), bytes);
    return Path(name).string();
  }

  TTempFolder folder_;
};

// ---- Quoting -----------------------------------------------------------------------------

TEST(ProtectEnclosingQuotes, AddsOnePairOfTheEnclosingQuote) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"'abc'", "''abc''"},
      {"\"abc\"", "\"\"abc\"\""},
      {"''", "''''"},
      {"'", "'"},
      {"\"", "\""},
      {"", ""},
      {"abc", "abc"},
      {"'abc\"", "'abc\""},
      {"'\"a\"'", "''\"a\"''"},
      {"\"'a'\"", "\"\"'a'\"\""},
      {" 'a' ", " 'a' "},
  };
  for (const auto& c : cases) EXPECT_EQ(ProtectEnclosingQuotes(c.text), c.expected) << c.text;
}

TEST_F(ConfigIniFileTest, QuotedTextsReadBackUnchanged) {
  const std::vector<std::string> texts = {
      "'a'",     "\"b\"",         "'",       "\"",     "  x ",        "'x\"", "",  "''",
      "\"\"",    " 'a' ",         "'a' ",    "\"a\" ", " \"",         "\t",   "x", "'\"a\"'",
      "\"'a'\"", "Größe Übermaß", " Ärger ", "'Öl'",   "a = b ; [c]",
  };
  const std::string name = Path().string();
  {
    TConfigIniFile ini(name);
    for (size_t i = 0; i < texts.size(); ++i)
      ini.WriteString("PBCB", "k" + std::to_string(i), ProtectEnclosingQuotes(texts[i]));
  }
  const TConfigIniFile ini(name);
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(ini.ReadString("PBCB", "k" + std::to_string(i), "<missing>"), texts[i])
        << "text [" << texts[i] << "]";
}

TEST_F(ConfigIniFileTest, StoredFormOfQuotedTexts) {
  const struct {
    const char* text;
    std::u16string_view line;
  } cases[] = {
      {"'abc'", u"k=''abc''"}, {"\"abc\"", u"k=\"\"abc\"\""},
      {" abc", u"k=\" abc\""}, {"abc\t", u"k=\"abc\t\""},
      {"'", u"k='"},           {"Größe", u"k=Größe"},
  };
  for (const auto& c : cases) {
    const std::string name = Path().string();
    fs::remove(name);
    TConfigIniFile(name).WriteString("S", "k", ProtectEnclosingQuotes(c.text));
    EXPECT_EQ(ReadFileText(name), Le(u"[S]\r\n" + std::u16string(c.line) + u"\r\n")) << c.text;
  }
}

TEST_F(ConfigIniFileTest, ReadingTrimsBlanksAndRemovesOnePairOfQuotes) {
  const struct {
    std::u16string_view raw;
    const char* expected;
  } cases[] = {
      {u"  abc \t", "abc"},  {u"\"abc\"", "abc"},     {u"'abc'", "abc"},
      {u"\"abc'", "\"abc'"}, {u"\"", "\""},           {u"\"\"", ""},
      {u" ' x ' ", " x "},   {u"\"\"a\"\"", "\"a\""}, {u"", ""},
      {u"a=b", "a=b"},       {u"1,0", "1,0"},         {u"\x01x\x1F", "x"},
  };
  for (const auto& c : cases) {
    const TConfigIniFile ini(MakeFile(Le(u"[S]\r\nk=" + std::u16string(c.raw) + u"\r\n")));
    EXPECT_EQ(ini.ReadString("S", "k", "<missing>"), c.expected);
  }
}

// ---- Integers and booleans ---------------------------------------------------------------

TEST_F(ConfigIniFileTest, IntegerParsing) {
  constexpr int32_t kDefault = 1234;
  const struct {
    std::u16string_view raw;
    int32_t expected;
  } cases[] = {
      {u"0", 0},
      {u"42", 42},
      {u"-5", -5},
      {u"007", 7},
      {u"-0", 0},
      {u" 42 ", 42},
      {u"'7'", 7},
      {u"2147483647", 2147483647},
      {u"-2147483648", INT32_MIN},
      {u"2147483648", kDefault},
      {u"-2147483649", kDefault},
      {u"99999999999999999999", kDefault},
      {u"0x1F", 31},
      {u"0X1f", 31},
      {u"0x7FFFFFFF", INT32_MAX},
      {u"0xFF000008", -16777208},
      {u"0xFFFFFFFF", -1},
      {u"0x000000000001", 1},
      {u"0x100000000", kDefault},
      {u"0x", kDefault},
      {u"0xG", kDefault},
      {u"-0x10", kDefault},
      {u"12abc", kDefault},
      {u"", kDefault},
      {u"1,5", kDefault},
      {u"1.5", kDefault},
      {u"+3", kDefault},
      {u"-", kDefault},
      {u"--1", kDefault},
      {u"1 2", kDefault},
      {u"١٢", kDefault},  // Arabic-Indic digits are not decimal digits here
  };
  for (const auto& c : cases) {
    const TConfigIniFile ini(MakeFile(Le(u"[S]\r\nk=" + std::u16string(c.raw) + u"\r\n")));
    EXPECT_EQ(ini.ReadInteger("S", "k", kDefault), c.expected)
        << "value [" << ini.ReadString("S", "k", "") << "]";
  }
  const TConfigIniFile ini(Path().string());
  EXPECT_EQ(ini.ReadInteger("S", "missing", -7), -7);
  EXPECT_EQ(ini.ReadInteger("Missing", "k", -7), -7);
}

TEST_F(ConfigIniFileTest, BooleanParsing) {
  const struct {
    std::u16string_view raw;
    bool whenDefaultFalse;
    bool whenDefaultTrue;
  } cases[] = {
      {u"1", true, true},  {u"0", false, false},   {u"2", true, true},
      {u"-1", true, true}, {u"0x0", false, false}, {u"abc", false, true},
      {u"", false, true},  {u"true", false, true}, {u"1,0", false, true},
  };
  for (const auto& c : cases) {
    const TConfigIniFile ini(MakeFile(Le(u"[S]\r\nk=" + std::u16string(c.raw) + u"\r\n")));
    EXPECT_EQ(ini.ReadBool("S", "k", false), c.whenDefaultFalse);
    EXPECT_EQ(ini.ReadBool("S", "k", true), c.whenDefaultTrue);
    EXPECT_TRUE(ini.ReadBool("S", "missing", true));
    EXPECT_FALSE(ini.ReadBool("S", "missing", false));
  }
}

TEST_F(ConfigIniFileTest, IntegersAndBooleansAreWrittenAsDecimalText) {
  const std::string name = Path().string();
  TConfigIniFile ini(name);
  ini.WriteInteger("FCE", "FCL", -16777208);
  ini.WriteInteger("FCE", "FSI", 12);
  ini.WriteBool("FCE", "FBO", true);
  ini.WriteBool("FCE", "FIT", false);
  EXPECT_EQ(ReadFileText(name), Le(u"[FCE]\r\nFCL=-16777208\r\nFSI=12\r\nFBO=1\r\nFIT=0\r\n"));
  EXPECT_EQ(ini.ReadInteger("FCE", "FCL", 0), -16777208);
  EXPECT_TRUE(ini.ReadBool("FCE", "FBO", false));
  EXPECT_FALSE(ini.ReadBool("FCE", "FIT", true));
}

// ---- Writing into existing files -----------------------------------------------------

// Each case: the file before, one write, the file after (all UTF-16LE with mark).
TEST_F(ConfigIniFileTest, WritesChangeOnlyWhatTheyMust) {
  const struct {
    const char* what;
    std::u16string_view before;
    const char* section;
    const char* key;
    const char* value;
    std::u16string_view after;
  } cases[] = {
      {"existing key replaced in place, key spelling and blanks kept",
       u"; head\r\n[PBCB]\r\nOut_Name = alt \r\nunknown=keep\r\n\r\n[X]\nlf=1\n", "pbcb",
       "out_name", "neu", u"; head\r\n[PBCB]\r\nOut_Name = neu\r\nunknown=keep\r\n\r\n[X]\nlf=1\n"},
      {"new key after the last entry of its section, before comments and blank lines",
       u"[A]\r\na=1\r\nnot an entry\r\n; about B\r\n\r\n[B]\r\nb=2\r\n", "A", "c", "3",
       u"[A]\r\na=1\r\nc=3\r\nnot an entry\r\n; about B\r\n\r\n[B]\r\nb=2\r\n"},
      {"new key in a section without entries goes right after its header",
       u"[A]\r\n\r\n[B]\r\nb=2\r\n", "A", "c", "3", u"[A]\r\nc=3\r\n\r\n[B]\r\nb=2\r\n"},
      {"new key at the end of a file without a last line break", u"[A]\r\na=1", "A", "b", "2",
       u"[A]\r\na=1\r\nb=2\r\n"},
      {"new section at the end of the file", u"[A]\r\na=1\r\n\r\n", "B", "b", "2",
       u"[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n"},
      {"new section after a last line without line break", u"[A]\r\n; end", "B", "b", "2",
       u"[A]\r\n; end\r\n[B]\r\nb=2\r\n"},
      {"line breaks of every kind stay as they are", u"[A]\ra=1\r[B]\nb=2\n[C]\r\nc=3\r\n", "B",
       "b", "x", u"[A]\ra=1\r[B]\nb=x\n[C]\r\nc=3\r\n"},
      {"entries before the first section are not part of any section", u"k=0\r\n[S]\r\n", "S", "k",
       "1", u"k=0\r\n[S]\r\nk=1\r\n"},
      {"a comment that looks like the key is not the key", u"[S]\r\n;k=0\r\n", "S", "k", "1",
       u"[S]\r\nk=1\r\n;k=0\r\n"},
      {"the first of duplicate sections and keys is updated",
       u"[S]\r\nk=1\r\nK=2\r\n[s]\r\nk=3\r\n", "S", "k", "9",
       u"[S]\r\nk=9\r\nK=2\r\n[s]\r\nk=3\r\n"},
      {"a key only in a later duplicate section is new in the first",
       u"[S]\r\na=1\r\n[s]\r\nk=3\r\n", "S", "k", "9", u"[S]\r\na=1\r\nk=9\r\n[s]\r\nk=3\r\n"},
      {"unpaired surrogates elsewhere survive", u"[S]\r\nx=\xD800\r\nk=1\r\n", "S", "k", "2",
       u"[S]\r\nx=\xD800\r\nk=2\r\n"},
  };
  for (const auto& c : cases) {
    const std::string name = MakeFile(Le(c.before));
    TConfigIniFile(name).WriteString(c.section, c.key, c.value);
    EXPECT_EQ(ReadFileText(name), Le(c.after)) << c.what;
  }
}

TEST_F(ConfigIniFileTest, NewFileStartsWithTheByteOrderMark) {
  const std::string name = Path().string();
  TConfigIniFile ini(name);
  EXPECT_EQ(ini.ReadString("S", "k", "default"), "default");
  EXPECT_TRUE(ini.ReadSections().empty());
  EXPECT_FALSE(ini.SectionExists("S"));
  ini.WriteString("S", "k", "Größe");
  EXPECT_EQ(ReadFileText(name), "\xFF\xFE" + Le(u"[S]\r\nk=Größe\r\n", false));
}

TEST_F(ConfigIniFileTest, LineBreaksInValuesBecomeBlanks) {
  const std::string name = MakeFile(Le(u"[S]\r\nk=old\r\nnext=1\r\n"));
  TConfigIniFile ini(name);
  ini.WriteString("S", "k", "a\r\nb\nc\rd\n");
  EXPECT_EQ(ReadFileText(name), Le(u"[S]\r\nk=\"a b c d \"\r\nnext=1\r\n"));
  EXPECT_EQ(TConfigIniFile(name).ReadString("S", "k", ""), "a b c d ");
}

TEST_F(ConfigIniFileTest, NamesTheFileCannotHoldAreRefused) {
  const std::string before = Le(u"[S]\r\nk=1\r\n");
  const std::string name = MakeFile(before);
  TConfigIniFile ini(name);
  for (const char* key : {"", "a=b", "[a", ";a", " a", "a ", "a\nb", "a\rb"})
    EXPECT_THROW(ini.WriteString("S", key, "x"), std::invalid_argument) << "[" << key << "]";
  for (const char* section : {"a\r\nb", " a", "a\t"})
    EXPECT_THROW(ini.WriteString(section, "k", "x"), std::invalid_argument) << section;
  EXPECT_EQ(ReadFileText(name), before);
}

// ---- Names -----------------------------------------------------------------------------

TEST_F(ConfigIniFileTest, NamesAreComparedWithoutRegardToCase) {
  const std::string name =
      MakeFile(Le(u"[PbCh]\r\nAct_Size=1\r\n[Größe]\r\nÄnderung=ja\r\n[ΣΊΓΜΑ]\r\nЖук=да\r\n"));
  TConfigIniFile ini(name);
  EXPECT_EQ(ini.ReadString("pbch", "ACT_SIZE", ""), "1");
  EXPECT_EQ(ini.ReadString("GRÖßE", "äNDERUNG", ""), "ja");
  EXPECT_EQ(ini.ReadString("σίγμα", "жУК", ""), "да");
  EXPECT_TRUE(ini.SectionExists("pBcH"));
  EXPECT_TRUE(ini.SectionExists("größe"));
  EXPECT_FALSE(ini.SectionExists("GROSSE"));
  ini.WriteBool("PBCH", "act_size", false);
  EXPECT_EQ(ReadFileText(name),
            Le(u"[PbCh]\r\nAct_Size=0\r\n[Größe]\r\nÄnderung=ja\r\n[ΣΊΓΜΑ]\r\nЖук=да\r\n"));
}

TEST_F(ConfigIniFileTest, SectionsAndKeysAreListedOnceInFileOrder) {
  const TConfigIniFile ini(MakeFile(
      Le(u"x=0\r\n[A]\r\nx=1\r\nX=2\r\n y = 3\r\n;c=4\r\nno entry\r\n=5\r\n[ b ]\r\n[a]\r\n"
         u"z=6\r\n[B]\r\n[C\r\n")));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"A", "b"}));
  EXPECT_EQ(ini.ReadSectionKeys("a"), (std::vector<std::string>{"x", "y"}));
  EXPECT_TRUE(ini.ReadSectionKeys("b").empty());
  EXPECT_TRUE(ini.ReadSectionKeys("C").empty());
  EXPECT_EQ(ini.ReadString("A", "X", ""), "1");
  EXPECT_EQ(ini.ReadString("A", "y", ""), "3");
  EXPECT_EQ(ini.ReadString("A", "z", "only the first section counts"),
            "only the first section counts");
  EXPECT_EQ(ini.ReadString("A", "", "no empty key"), "no empty key");
}

// ---- Files from elsewhere ----------------------------------------------------------------

TEST_F(ConfigIniFileTest, WindowsWrittenFileLoadsAndKeepsUnknownKeysOnSave) {
  const std::u16string before =
      u"[PBED]\r\ninp_ordner=C:\\Bilder\\Urlaub Größe\r\nact_wz_quelle=\r\n"
      u"[PBCB]\r\nout_name=Bild_%name%\r\nact_farbekontrast=1,0\r\nunbekannt=bleibt erhalten\r\n"
      u"[PBRF]\r\nr0=01   Bildgröße\r\nr1=02   Drehen/Spiegeln\r\n"
      u"[Zukunft]\r\nneu=\"  Überraschung  \"\r\n";
  const std::string name = MakeFile(Le(before));
  TConfigIniFile ini(name);
  EXPECT_EQ(ini.ReadString("PBED", "inp_ordner", ""), "C:\\Bilder\\Urlaub Größe");
  EXPECT_EQ(ini.ReadString("PBED", "act_wz_quelle", "x"), "");
  EXPECT_EQ(ini.ReadString("PBCB", "act_farbekontrast", ""), "1,0");
  EXPECT_EQ(ini.ReadInteger("PBCB", "act_farbekontrast", 77), 77);
  EXPECT_EQ(ini.ReadString("PBRF", "r0", ""), "01   Bildgröße");
  EXPECT_EQ(ini.ReadString("Zukunft", "neu", ""), "  Überraschung  ");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"PBED", "PBCB", "PBRF", "Zukunft"}));

  {
    TConfigIniFile::TDeferredWrite batch(ini);
    ini.WriteString("PBED", "inp_ordner", "/home/anna/Bilder");
    ini.WriteString("PBCB", "out_name", ProtectEnclosingQuotes("'%name%'"));
    ini.WriteString("PBRF", "r0", "01   Bildgröße");
    ini.WriteBool("PA", "AI", true);
    batch.Commit();
  }
  EXPECT_EQ(ReadFileText(name), Le(u"[PBED]\r\ninp_ordner=/home/anna/Bilder\r\nact_wz_quelle=\r\n"
                                   u"[PBCB]\r\nout_name=''%name%''\r\nact_farbekontrast=1,0\r\n"
                                   u"unbekannt=bleibt erhalten\r\n"
                                   u"[PBRF]\r\nr0=01   Bildgröße\r\nr1=02   Drehen/Spiegeln\r\n"
                                   u"[Zukunft]\r\nneu=\"  Überraschung  \"\r\n[PA]\r\nAI=1\r\n"));
}

TEST_F(ConfigIniFileTest, OtherEncodingsAreReadAndWrittenBackAsUtf16) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"UTF-8 without mark", "[S]\r\nk=Größe €\r\n"},
      {"UTF-8 with mark", "\xEF\xBB\xBF[S]\r\nk=Größe €\r\n"},
      {"Windows-1252",
       "[S]\r\nk=Gr\xF6\xDF"
       "e \x80\r\n"},
      {"UTF-16LE without mark", Le(u"[S]\r\nk=Größe €\r\n", false)},
      {"UTF-16BE with mark",
       [] {
         std::string be = "\xFE\xFF";
         for (const char16_t c : std::u16string_view(u"[S]\r\nk=Größe €\r\n")) {
           be.push_back(char(c >> 8));
           be.push_back(char(c & 0xFF));
         }
         return be;
       }()},
  };
  for (const auto& c : cases) {
    const std::string name = MakeFile(c.bytes);
    TConfigIniFile ini(name);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "Größe €") << c.what;
    ini.WriteString("S", "n", "1");
    EXPECT_EQ(ReadFileText(name), Le(u"[S]\r\nk=Größe €\r\nn=1\r\n")) << c.what;
  }
}

TEST_F(ConfigIniFileTest, DamagedFilesReadSensibly) {
  std::u16string longValue(100000, u'x');
  std::u16string pairAtLimit(pixolan::config::kMaxIniValueLength - 1, u'y');
  pairAtLimit += u"\U0001F600tail";
  const struct {
    const char* what;
    std::string bytes;
    const char* key;
    std::string expected;
  } cases[] = {
      {"odd byte count", Le(u"[S]\r\nk=v") + "\x41", "k", "v"},
      {"unpaired surrogates",
       Le(u"[S]\r\nk=a\xD800"
          u"b\xDC00\r\n"),
       "k", "a\uFFFDb\uFFFD"},
      {"line without =", Le(u"[S]\r\nk\r\nk2=v2\r\n"), "k2", "v2"},
      {"blanks around the key", Le(u"[S]\r\n\t k \t= v \r\n"), "k", "v"},
      {"lone CR line ends", Le(u"[S]\rk=v\rm=w"), "m", "w"},
      {"NUL characters", Le(std::u16string(u"[S]\r\nk=a\0b\r\n", 12)), "k", std::string("a\0b", 3)},
      {"100000-character value", Le(u"[S]\r\nk=" + longValue + u"\r\nm=after\r\n"), "k",
       std::string(16384, 'x')},
      {"surrogate pair at the length limit", Le(u"[S]\r\nk=" + pairAtLimit + u"\r\n"), "k",
       std::string(pixolan::config::kMaxIniValueLength - 1, 'y')},
      {"mark only", "\xFF\xFE", "k", "<missing>"},
      {"one byte", "\xFF", "k", "<missing>"},
      {"empty file", "", "k", "<missing>"},
      {"invalid UTF-8 read as Windows-1252", "[S]\nk=\xC3\x28\n", "k", "\xC3\x83("},
  };
  for (const auto& c : cases) {
    const std::string name = MakeFile(c.bytes);
    TConfigIniFile ini(name);
    EXPECT_EQ(ini.ReadString("S", c.key, "<missing>"), c.expected) << c.what;
    // Any file can be written to and keeps what it holds.
    ini.WriteString("S", "written", "yes");
    const TConfigIniFile again(name);
    EXPECT_EQ(again.ReadString("S", "written", ""), "yes") << c.what;
    EXPECT_EQ(again.ReadString("S", c.key, "<missing>"), c.expected) << c.what;
  }
}

TEST_F(ConfigIniFileTest, GarbageNeverBreaksReadingOrWriting) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 400, '\0');
    // Mostly bytes that matter to the syntax, so that sections and entries occur.
    const char alphabet[] = "[]=;'\" \t\r\nabS\x00\xFF\xFE\xD8\xDC\xC3";
    for (char& b : bytes)
      b = random() % 3 ? alphabet[random() % (sizeof alphabet - 1)] : char(random());
    if (round % 2 == 0) bytes.insert(0, "\xFF\xFE");
    const std::string name = MakeFile(bytes);
    TConfigIniFile ini(name);
    std::vector<std::pair<std::string, std::string>> before;
    for (const std::string& section : ini.ReadSections())
      for (const std::string& key : ini.ReadSectionKeys(section)) before.emplace_back(section, key);
    ini.WriteString("S", "new", "value");
    const TConfigIniFile again(name);
    EXPECT_EQ(again.ReadString("S", "new", ""), "value") << "round " << round;
    for (const auto& [section, key] : before) {
      if (section == "S" && key == "new") continue;
      EXPECT_EQ(again.ReadString(section, key, "<missing>"), ini.ReadString(section, key, ""))
          << "round " << round;
    }
  }
}

// ---- Keeping the file safe ---------------------------------------------------------------

TEST_F(ConfigIniFileTest, SeesChangesMadeByOthers) {
  const std::string name = MakeFile(Le(u"[S]\r\nk=1\r\n"));
  TConfigIniFile reader(name);
  EXPECT_EQ(reader.ReadString("S", "k", ""), "1");
  TConfigIniFile(name).WriteString("S", "k", "2");
  EXPECT_EQ(reader.ReadString("S", "k", ""), "2");
  fs::remove(name);
  EXPECT_EQ(reader.ReadString("S", "k", "gone"), "gone");
  MakeFile(Le(u"[T]\r\nk=3\r\n"));
  EXPECT_EQ(reader.ReadString("T", "k", ""), "3");
}

TEST_F(ConfigIniFileTest, DeferredWritesReachTheFileAtTheEnd) {
  const std::string before = Le(u"[S]\r\nk=1\r\n");
  const std::string name = MakeFile(before);
  TConfigIniFile ini(name);
  {
    TConfigIniFile::TDeferredWrite outer(ini);
    {
      TConfigIniFile::TDeferredWrite inner(ini);
      ini.WriteString("S", "k", "2");
      inner.Commit();
    }
    ini.WriteInteger("T", "n", 3);
    EXPECT_EQ(ReadFileText(name), before);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
    EXPECT_EQ(ini.ReadInteger("T", "n", 0), 3);
  }  // no Commit: the destructor writes
  EXPECT_EQ(ReadFileText(name), Le(u"[S]\r\nk=2\r\n[T]\r\nn=3\r\n"));
}

TEST_F(ConfigIniFileTest, KeepsPermissionsAndWritesThroughSymbolicLinks) {
  const std::string name = MakeFile(Le(u"[S]\r\nk=1\r\n"));
  fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write);
  const fs::path link = Path("link.pxc");
  fs::create_symlink("test.pxc", link);
  TConfigIniFile(link.string()).WriteString("S", "k", "2");
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_EQ(ReadFileText(name), Le(u"[S]\r\nk=2\r\n"));
  EXPECT_EQ(fs::status(name).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(folder_.Entries(), (std::vector<std::string>{"link.pxc", "test.pxc"}));
}

// Runs in a child process: an unprivileged user is needed for permissions to count, and a
// file size limit must not outlive the test.
bool DropPrivileges() {
  if (::geteuid() != 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

// Exit codes: 0 the right error, 1 no error, 2 another message, 3 no unprivileged user.
[[noreturn]] void ExpectWriteErrorInChild(const std::string& name, bool unprivileged,
                                          bool limitFileSize) {
  if (unprivileged && !DropPrivileges()) std::_Exit(3);
  if (limitFileSize) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  try {
    TConfigIniFile(name).WriteString("S", "k", std::string(200, 'v'));
  } catch (const EConfigWriteError& e) {
    std::_Exit(e.what() == "Unable to write to " + name ? 0 : 2);
  }
  std::_Exit(1);
}

TEST_F(ConfigIniFileTest, UnwritableFileRaisesAndStaysIntact) {
  const std::string before = Le(u"[S]\r\nk=old\r\nother=1\r\n");
  const struct {
    const char* what;
    bool unprivileged;
    bool limitFileSize;
    fs::perms folderPerms;
    fs::perms filePerms;
  } cases[] = {
      {"disk full while writing", false, true, fs::perms::owner_all, fs::perms::owner_all},
      // Permissions that hold for the owner as well as for the unprivileged user.
      {"folder without write permission", true, false,
       fs::perms::all &
           ~(fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write),
       fs::perms::all},
      {"file that cannot be read is not replaced", true, false, fs::perms::all,
       fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = MakeFile(before);
    fs::permissions(name, c.filePerms);
    fs::permissions(folder_.Path(), c.folderPerms);
    EXPECT_EXIT(ExpectWriteErrorInChild(name, c.unprivileged, c.limitFileSize),
                ::testing::ExitedWithCode(0), "");
    fs::permissions(folder_.Path(), fs::perms::owner_all);
    fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadFileText(name), before);
    EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"test.pxc"});
  }
}

TEST_F(ConfigIniFileTest, WriteErrorNamesTheFile) {
  const struct {
    const char* what;
    std::string name;
  } cases[] = {
      {"a folder", folder_.Path().string()},
      {"in a missing folder", (folder_ / "missing" / "x.pxc").string()},
      {"below a file", MakeFile("x", "plain") + "/x.pxc"},
  };
  for (const auto& c : cases) {
    TConfigIniFile ini(c.name);
    EXPECT_EQ(ini.ReadString("S", "k", "default"), "default") << c.what;
    try {
      ini.WriteString("S", "k", "v");
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EConfigWriteError& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + c.name) << c.what;
    }
    // The object does not pretend to hold what it could not save.
    EXPECT_EQ(ini.ReadString("S", "k", "default"), "default") << c.what;
  }
  EXPECT_EQ(ReadFileText(Path("plain")), "x");
  EXPECT_TRUE(fs::is_directory(folder_.Path()));
}

}  // namespace
