// The user's guide read against real files. The guide gives every file layout
// as a table (columns, format, field) under a marker comment; these tests read
// the tables from docs/guide.md itself and apply them to the files of real
// runs (the bundled example and the guide's other set-ups), so that the guide
// and the programs cannot drift apart. The guide's listing excerpts, answer
// files and sample aerofoil are run and compared as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>

#include "run_files.h"
#include "support.h"

namespace tarn {
namespace {

using test::lines_of;
using test::read_file;
using test::TempDir;

const std::string kGuide = std::string(TARN_SOURCE_DIR) + "/docs/guide.md";
const char* const kStale =
    "docs/guide.md no longer matches the programs: run examples/run-example.sh and the guide's set-ups, "
    "and bring the guide up to date";

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}
bool blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }
bool starts(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }
std::string unquoted(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '`'), s.end());
  return trim(s);
}

// One marked block of the guide: a table, its cells by column heading, or the
// lines of a code block.
struct Block {
  std::string kind, id;
  std::vector<std::map<std::string, std::string>> rows;
  std::vector<std::string> code;
};

std::vector<std::string> cells(const std::string& row) {
  std::vector<std::string> out;
  size_t start = row.find('|') + 1;
  for (size_t bar; (bar = row.find('|', start)) != std::string::npos; start = bar + 1)
    out.push_back(trim(row.substr(start, bar - start)));
  return out;
}

std::vector<Block> guide_blocks() {
  static const std::regex marker(R"(<!-- ([a-z]+): (.+) -->)");
  auto lines = lines_of(read_file(kGuide));
  std::vector<Block> blocks;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::smatch m;
    if (!std::regex_match(lines[i], m, marker)) continue;
    Block b{m[1], m[2], {}, {}};
    size_t j = i + 1;
    while (j < lines.size() && blank(lines[j])) ++j;
    if (j < lines.size() && starts(lines[j], "```")) {
      for (++j; j < lines.size() && !starts(lines[j], "```"); ++j) b.code.push_back(lines[j]);
    } else if (j < lines.size() && starts(lines[j], "|")) {
      auto heading = cells(lines[j]);
      for (j += 2; j < lines.size() && starts(lines[j], "|"); ++j) {
        auto c = cells(lines[j]);
        std::map<std::string, std::string> row;
        for (size_t k = 0; k < heading.size() && k < c.size(); ++k) row[heading[k]] = c[k];
        b.rows.push_back(row);
      }
    }
    blocks.push_back(b);
  }
  return blocks;
}

std::map<std::string, Block> blocks_of_kind(const std::vector<Block>& all, const std::string& kind) {
  std::map<std::string, Block> out;
  for (const Block& b : all)
    if (b.kind == kind) out[b.id] = b;
  return out;
}

// A field of a layout: its columns (from 1) and its format, Iw, Fw.d, Ew.d,
// Aw or a quoted text, possibly with an alternative ("or blank", "or w").
struct Field {
  int first = 0, last = 0;
  char type = 0;  // 'I', 'F', 'E', 'A', or '"' for a text
  int width = 0, decimals = 0;
  std::string text, alternative, name;
};
using Layout = std::vector<Field>;

Field field_of(const std::string& columns, std::string format, const std::string& name) {
  static const std::regex range("(\\d+)(?:\\s*(?:–|-)\\s*(\\d+))?");
  static const std::regex edit_descriptor("([IFEA])(\\d+)(?:\\.(\\d+))?");
  Field f;
  f.name = unquoted(name);
  std::smatch m;
  if (std::regex_match(columns, m, range)) {
    f.first = std::stoi(m[1]);
    f.last = m[2].matched ? std::stoi(m[2]) : f.first;
  }
  size_t alt = format.find(" or ");
  if (alt != std::string::npos) {
    f.alternative = format.substr(alt + 4);
    format.resize(alt);
  }
  if (format.size() >= 2 && format.front() == '"') {
    f.type = '"';
    f.text = format.substr(1, format.size() - 2);
    f.width = static_cast<int>(f.text.size());
  } else if (std::regex_match(format, m, edit_descriptor)) {
    f.type = m.str(1)[0];
    f.width = std::stoi(m[2]);
    f.decimals = m[3].matched ? std::stoi(m[3]) : 0;
  }
  return f;
}

Layout layout_of(const Block& table) {
  Layout layout;
  for (const auto& row : table.rows) layout.push_back(field_of(row.at("Columns"), row.at("Format"), row.at("Field")));
  return layout;
}

// Why the text of a field does not fit its format, or an empty string.
std::string misfit(const Field& f, const std::string& text) {
  if (f.type == 0 || f.first < 1) return "has a column range or format that cannot be read";
  if (f.last - f.first + 1 != f.width) return "has columns and a format of different widths";
  if (!f.alternative.empty() && (f.alternative == "blank" ? blank(text) : trim(text) == f.alternative)) return "";
  if (f.type == '"') return text == f.text ? "" : "is not the text \"" + f.text + "\"";
  if (f.type == 'A') return "";
  if (text.back() == ' ') return "is not right-justified in its columns";
  std::string number = f.type == 'I'   ? "-?\\d+"
                       : f.type == 'E' ? "-?0?\\.\\d{" + std::to_string(f.decimals) + "}E[+-]\\d\\d"
                       : f.decimals > 0 ? "-?\\d*\\.\\d{" + std::to_string(f.decimals) + "}"
                                        : "-?(\\d+\\.?\\d*|\\.\\d+)";
  static std::map<std::string, std::regex> compiled;
  auto it = compiled.find(number);
  if (it == compiled.end()) it = compiled.emplace(number, std::regex(number)).first;
  return std::regex_match(trim(text), it->second) ? "" : "does not read as its format";
}

// Applies a layout to a line: every field fits its format, and the columns
// before, between and after the fields are blank. Reports the first misfit.
bool fits(const Layout& layout, const std::string& line, const std::string& where) {
  int column = 1;
  for (const Field& f : layout) {
    std::string padded = line + std::string(static_cast<size_t>(std::max(f.last, 1)), ' ');
    std::string gap = f.first > column ? padded.substr(column - 1, f.first - column) : "";
    std::string text = f.last >= f.first ? padded.substr(f.first - 1, f.last - f.first + 1) : "";
    std::string why = f.first < column ? "overlaps the field before it" : !blank(gap) ? "follows text in a gap" : misfit(f, text);
    if (!why.empty()) {
      ADD_FAILURE() << where << ": field '" << f.name << "' (columns " << f.first << "-" << f.last << ") " << why
                    << ":\n[" << line << "]\n" << kStale;
      return false;
    }
    column = f.last + 1;
  }
  if (line.size() >= static_cast<size_t>(column) && !blank(line.substr(column - 1))) {
    ADD_FAILURE() << where << ": text beyond the last field:\n[" << line << "]\n" << kStale;
    return false;
  }
  return true;
}

// The value of a named field of a line.
double value(const Layout& layout, const std::string& line, const std::string& name) {
  for (const Field& f : layout)
    if (f.name == name) {
      std::string padded = line + std::string(static_cast<size_t>(f.last), ' ');
      return std::atof(padded.substr(f.first - 1, f.last - f.first + 1).c_str());
    }
  ADD_FAILURE() << "the guide's layout has no field " << name;
  return std::nan("");
}

// The lines of a file that follow each occurrence of a heading, up to the
// next blank line (blank lines right after the heading are skipped).
std::vector<std::string> rows_after(const std::vector<std::string>& lines, const std::string& heading) {
  std::vector<std::string> rows;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (trim(lines[i]) != trim(heading)) continue;
    size_t j = i + 1;
    while (j < lines.size() && blank(lines[j])) ++j;
    for (; j < lines.size() && !blank(lines[j]); ++j) rows.push_back(lines[j]);
  }
  return rows;
}

// The records of a length-framed binary file.
std::vector<std::string> binary_records(const std::string& bytes) {
  std::vector<std::string> records;
  size_t at = 0;
  while (at + 4 <= bytes.size()) {
    uint32_t n = 0;
    std::memcpy(&n, bytes.data() + at, 4);
    if (at + 8 + n > bytes.size() || bytes.compare(at + 4 + n, 4, bytes, at, 4) != 0) break;
    records.push_back(bytes.substr(at + 4, n));
    at += 8 + n;
  }
  return records;
}

// The runs the guide describes, made for real: the bundled example, and the
// set-ups whose answers the guide gives, run through tarnprep and tarn.
class GuideRuns {
 public:
  explicit GuideRuns(const std::vector<Block>& blocks) {
    std::string examples = std::string(TARN_SOURCE_DIR) + "/examples/";
    add("NACA12", read_file(examples + "NACA12.NAM"), read_file(examples + "NACA12.TIN"));
    for (const auto& [name, block] : blocks_of_kind(blocks, "answers")) {
      if (name == "NACA12") continue;  // the example's answers are compared with its run files
      TempDir& dir = folder(name);
      std::string answers;
      for (const auto& line : block.code) answers += line + "\n";
      auto prep = test::run_program("tarnprep", dir.path(), answers);
      EXPECT_EQ(prep.status, 0) << name << ": " << prep.err;
      run(name);
    }
  }
  std::string file(const std::string& name) const {
    std::string run = name.substr(0, name.find('.'));
    return dirs_.count(run) ? dirs_.at(run)->file(name) : std::string();
  }
  std::vector<std::string> lines(const std::string& name) const { return lines_of(read_file(file(name))); }

 private:
  TempDir& folder(const std::string& name) {
    auto& dir = dirs_[name];
    dir = std::make_unique<TempDir>();
    test::write_file(dir->file("NACA0012.DAT"), test::naca0012_section(dir->path()));
    return *dir;
  }
  void add(const std::string& name, const std::string& nam, const std::string& tin) {
    TempDir& dir = folder(name);
    test::write_file(dir.file(name + ".NAM"), nam);
    test::write_file(dir.file(name + ".TIN"), tin);
    run(name);
  }
  void run(const std::string& name) {
    auto r = test::run_program("tarn", dirs_.at(name)->path(), "", name);
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
  }
  std::map<std::string, std::unique_ptr<TempDir>> dirs_;
};

// Which lines of which real file each layout of the guide describes, when no
// record table of the guide says so.
std::map<std::string, std::vector<std::pair<std::string, std::string>>> described_lines(const GuideRuns& runs) {
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> out;
  auto take = [&](const std::string& layout, const std::string& file, const std::vector<std::string>& lines) {
    for (const auto& l : lines) out[layout].emplace_back(file, l);
  };
  auto first_line = [&](const std::string& file) { return std::vector<std::string>{runs.lines(file).at(0)}; };
  auto not_message = [](std::vector<std::string> rows) {  // boundary-layer tables hold message lines
    rows.erase(std::remove_if(rows.begin(), rows.end(), [](const std::string& r) { return std::isalpha(trim(r)[0]); }),
               rows.end());
    return rows;
  };
  auto lines_where = [&](const std::string& file, const std::function<bool(const std::string&)>& keep) {
    std::vector<std::string> rows;
    for (const auto& l : runs.lines(file))
      if (keep(l)) rows.push_back(l);
    return rows;
  };
  for (const char* f : {"NACA12.FUL", "NACA12.BRF", "INV96.FUL"}) take("listing title line", f, first_line(f));
  for (const char* f : {"NACA12.FUL", "INV96.FUL"}) {
    take("surface table row", f, rows_after(runs.lines(f), "T        X         Z          CP        P/P0     EML"));
    take("wake table row", f,
         rows_after(runs.lines(f), "X          CP(U)     P/P0(U)  EML(U)     CP(L)       P/P0(L)   EML(L)"));
  }
  take("boundary-layer table row", "NACA12.FUL",
       not_message(rows_after(runs.lines("NACA12.FUL"), "X       HBAR      DELSTAR        THETA        CFLOC        DELTA")));
  take("slopes table row", "INV96.FUL", rows_after(runs.lines("INV96.FUL"), "X                Z            DZ/DX         D2Z/DX2"));
  take("pressure list row", "NACA12.BRF", lines_where("NACA12.BRF", [](const std::string& l) {
         return l.size() == 23 && l[7] == '.';
       }));
  for (const char* f : {"NACA12.IEH", "CL05.IEH"})
    take("history line", f, lines_where(f, [](const std::string& l) { return !starts(l, "  RES") && !starts(l, " CLC="); }));
  take("target-lift line", "CL05.IEH", lines_where("CL05.IEH", [](const std::string& l) { return starts(l, " CLC="); }));
  take("coupling history line", "NACA12.VEH", runs.lines("NACA12.VEH"));
  for (const char* f : {"NACA12.SEP", "CL05.SEP", "INV96.SEP"}) {
    auto sep = runs.lines(f);
    for (size_t i = 0; i + 1 < sep.size(); ++i) {
      const char* kinds[] = {"", "shock record", "coefficient record", "trailing-edge record"};
      int kind = std::atoi(sep[i].substr(0, 5).c_str());
      if (kind >= 1 && kind <= 3) take(kinds[kind], f, {sep[i]});
    }
    if (!sep.empty()) take("status record", f, {sep.back()});
  }
  auto grid = runs.lines("INV96.GRD");
  if (!grid.empty()) grid.erase(grid.begin());  // the aerofoil title
  grid.erase(std::remove(grid.begin(), grid.end(), " //nc"), grid.end());
  take("grid-data line", "INV96.GRD", grid);
  return out;
}

class Guide : public testing::Test {
 protected:
  void SetUp() override {
    blocks_ = guide_blocks();
    ASSERT_FALSE(blocks_.empty()) << "no marked tables in " << kGuide;
    layouts_ = blocks_of_kind(blocks_, "layout");
  }
  std::vector<Block> blocks_;
  std::map<std::string, Block> layouts_;
};

// The first record of a kind in a coefficient-record file.
std::string record_of_kind(const std::vector<std::string>& sep, int kind) {
  for (const auto& l : sep)
    if (std::atoi(l.substr(0, 5).c_str()) == kind) return l;
  ADD_FAILURE() << "no record of kind " << kind;
  return std::string();
}

// Semantic checks: the fields the guide names carry the quantities it says.
void expect_meanings(const std::map<std::string, Block>& layouts, const GuideRuns& runs) {
  auto L = [&](const char* id) { return layout_of(layouts.at(id)); };
  auto sep = runs.lines("NACA12.SEP");
  ASSERT_EQ(sep.size(), 4u);
  Layout shock = L("shock record"), coefficients = L("coefficient record"), edge = L("trailing-edge record");
  EXPECT_EQ(value(coefficients, sep[1], "EM"), 0.75);
  EXPECT_EQ(value(coefficients, sep[1], "ALP"), 2.0);
  EXPECT_NEAR(value(coefficients, sep[1], "CDP+CDF"),
              value(coefficients, sep[1], "CDP") + value(coefficients, sep[1], "CDF"), 2e-6);
  float cd1 = 0, cd2 = 0, cl = 0, xshock = 0;
  auto ful = runs.lines("NACA12.FUL");
  for (size_t i = 0; i + 2 < ful.size(); ++i) {
    if (starts(ful[i], " SUM OF UPPER-SURFACE")) std::sscanf(ful[i + 2].c_str(), " CD1= %f CD2=%f", &cd1, &cd2);
    std::sscanf(ful[i].c_str(), " X(SHOCK)= %f", &xshock);
  }
  for (const auto& l : runs.lines("NACA12.BRF")) std::sscanf(l.c_str(), "   CL = %f", &cl);
  EXPECT_NEAR(value(coefficients, sep[1], "CDV+CD1") - value(coefficients, sep[1], "CDV"), cd1, 2e-5);
  EXPECT_NEAR(value(coefficients, sep[1], "CDV+CD2") - value(coefficients, sep[1], "CDV"), cd2, 2e-5);
  EXPECT_NEAR(value(coefficients, sep[1], "CL"), cl, 1e-5);
  EXPECT_EQ(value(shock, sep[0], "k"), 1);
  EXPECT_GT(value(shock, sep[0], "M1"), 1.0) << "the Mach number ahead of a shock is supersonic";
  EXPECT_NEAR(value(shock, sep[0], "XK"), xshock, 0.05);
  EXPECT_NEAR(value(edge, sep[2], "X96"), 0.96, 0.01);
  EXPECT_NEAR(value(edge, sep[2], "X94"), 0.94, 0.01);
  // The trailing-edge values are those of the upper-surface table at x = 1.
  Layout layer = L("boundary-layer table row");
  for (const auto& r : rows_after(ful, "X       HBAR      DELSTAR        THETA        CFLOC        DELTA"))
    if (starts(r, "    1.00000")) {
      EXPECT_NEAR(value(edge, sep[2], "DTE"), value(layer, r, "DELTA"), 1e-4);
      EXPECT_NEAR(value(edge, sep[2], "HTE"), value(layer, r, "HBAR"), 1e-3);
      break;
    }

  // Surface table: one row per point; CP, P/P0 and EML are one isentropic value.
  Layout surface = L("surface table row");
  auto rows = rows_after(ful, "T        X         Z          CP        P/P0     EML");
  EXPECT_EQ(rows.size(), 161u);
  const double m2 = 0.75 * 0.75, p0 = std::pow(1.0 + 0.2 * m2, 3.5);
  for (const auto& r : rows) {
    double eml = value(surface, r, "EML"), pp0 = value(surface, r, "P/P0"), cp = value(surface, r, "CP");
    EXPECT_NEAR(pp0, std::pow(1.0 + 0.2 * eml * eml, -3.5), 3e-5) << r;
    EXPECT_NEAR(cp, (pp0 * p0 - 1.0) / (0.7 * m2), 2e-4) << r;
  }
  EXPECT_EQ(value(surface, rows.at(80), "T"), 180.0) << "the leading edge is at 180 degrees";

  // The coupling history has a line per update; the target-lift lines end at the lift reached.
  std::string cl05 = record_of_kind(runs.lines("CL05.SEP"), 2);
  auto target = L("target-lift line");
  std::string last_target;
  for (const auto& l : runs.lines("CL05.IEH"))
    if (starts(l, " CLC=")) last_target = l;
  EXPECT_NEAR(value(target, last_target, "CL"), value(coefficients, cl05, "CL"), 1e-4);
  EXPECT_NEAR(value(coefficients, cl05, "CL"), 0.5, 1e-3) << "the required lift is reached";
  EXPECT_EQ(runs.lines("INV96.SEP"), std::vector<std::string>{"    4"}) << "an inviscid run writes only the status";
}

TEST_F(Guide, EveryLayoutTableReadsTheRealFiles) {
  GuideRuns runs(blocks_);
  std::set<std::string> checked;
  // Record tables: the records of a file in order, each by its layout.
  for (const auto& [id, table] : blocks_of_kind(blocks_, "records")) {
    SCOPED_TRACE("record table '" + id + "'");
    const std::map<std::string, std::string> files = {{"names file", "NACA12.NAM"},
                                                      {"run-data file", "NACA12.TIN"},
                                                      {"run-name file", "INV96.SIR"},
                                                      {"flow-field dump", "NACA12.UNF"}};
    ASSERT_TRUE(files.count(id)) << "no real file is known for this table";
    const std::string& name = files.at(id);
    if (id == "flow-field dump") {
      auto records = binary_records(read_file(runs.file(name)));
      ASSERT_EQ(records.size(), table.rows.size()) << kStale;
      for (size_t r = 0; r < records.size(); ++r)
        EXPECT_EQ(std::to_string(records[r].size()), table.rows[r].at("Bytes")) << "record " << r + 1;
      continue;
    }
    auto lines = runs.lines(name);
    ASSERT_EQ(lines.size(), table.rows.size()) << name << ": " << kStale;
    for (size_t r = 0; r < lines.size(); ++r) {
      const std::string& layout = table.rows[r].at("Layout");
      std::string where = name + " record " + std::to_string(r + 1);
      if (layouts_.count(layout)) {
        fits(layout_of(layouts_.at(layout)), lines[r], where);
        checked.insert(layout);
      } else {
        fits({field_of("1-" + layout.substr(1), layout, "record")}, lines[r], where);
      }
      std::string content = table.rows[r].count("Content") ? table.rows[r].at("Content") : "";
      if (content.size() > 2 && content.front() == '`' && content.back() == '`') {
        std::string expected = std::regex_replace(unquoted(content), std::regex("NAME"), name.substr(0, name.find('.')));
        EXPECT_EQ(trim(lines[r]), expected) << where;
      }
    }
  }

  // Layouts of lines that the listings and result files hold.
  auto described = described_lines(runs);
  for (const auto& [id, table] : layouts_) {
    if (checked.count(id)) continue;
    SCOPED_TRACE("layout '" + id + "'");
    if (id == "dump run values") {
      auto words = binary_records(read_file(runs.file("NACA12.UNF"))).at(0);
      const std::map<std::string, double> expected = {{"NSG", 160}, {"MR", 30}, {"EM", 0.75f},
                                                       {"ALP", 2.0f / 57.29578f}, {"XM", 1.0f}, {"XS", 1.9f}};
      for (const auto& row : table.rows) {
        std::string field = unquoted(row.at("Field"));
        size_t at = 4 * (std::stoul(row.at("Word")) - 1);
        int32_t i = 0;
        float f = 0;
        std::memcpy(&i, words.data() + at, 4);
        std::memcpy(&f, words.data() + at, 4);
        ASSERT_TRUE(expected.count(field)) << "no check for the word " << field;
        double word = row.at("Format") == "int32" ? static_cast<double>(i) : static_cast<double>(f);
        EXPECT_NEAR(word, expected.at(field), 1e-6 * std::fabs(expected.at(field))) << field << ": " << kStale;
      }
      continue;
    }
    ASSERT_TRUE(described.count(id)) << "no real file is known for this layout";
    auto lines = described.at(id);
    EXPECT_FALSE(lines.empty()) << "the real files hold no such line";
    Layout layout = layout_of(table);
    for (const auto& [file, line] : lines)
      if (!fits(layout, line, file)) break;
    described.erase(id);
  }
  for (const auto& [id, lines] : described) ADD_FAILURE() << "the guide has no layout '" << id << "'";
  expect_meanings(layouts_, runs);
}

TEST_F(Guide, ExcerptsAnswersAndSampleAerofoilAreReal) {
  GuideRuns runs(blocks_);
  // Listing excerpts: consecutive lines of the real file (notes after "<--" are not part of it).
  for (const auto& b : blocks_) {
    if (b.kind != "excerpt") continue;
    std::vector<std::string> want, file;
    for (auto line : b.code) {
      size_t note = line.find("<--");
      if (note != std::string::npos) line.resize(note);
      want.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
    }
    for (auto line : runs.lines(b.id)) file.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
    bool found = !want.empty() && std::search(file.begin(), file.end(), want.begin(), want.end()) != file.end();
    EXPECT_TRUE(found) << "the excerpt of " << b.id << " starting [" << (want.empty() ? "" : want[0])
                       << "] is not in the real file; " << kStale;
  }

  // The example's answers give the bundled run files.
  auto answers = blocks_of_kind(blocks_, "answers");
  ASSERT_TRUE(answers.count("NACA12"));
  TempDir dir;
  std::string input;
  for (const auto& line : answers.at("NACA12").code) input += line + "\n";
  ASSERT_EQ(test::run_program("tarnprep", dir.path(), input).status, 0);
  for (const char* f : {"NACA12.NAM", "NACA12.TIN"})
    EXPECT_EQ(read_file(dir.file(f)), read_file(std::string(TARN_SOURCE_DIR) + "/examples/" + f)) << f;

  // The sample aerofoil data file runs, and gives the lift the guide says.
  auto aerofoils = blocks_of_kind(blocks_, "aerofoil");
  ASSERT_EQ(aerofoils.size(), 1u);
  std::string sample;
  for (const auto& line : aerofoils.begin()->second.code) sample += line + "\n";
  test::write_file(dir.file("SAMPLE.DAT"), sample);
  test::RunSetup s;
  s.viscous = false;
  s.em = 0.5f;
  s.alp = 2.0f;
  std::vector<float> lift;
  for (const std::string& source : {dir.file("SAMPLE.DAT"), std::string()}) {
    TempDir run;
    s.aerofoil_source = source;
    test::write_new_run(run.path(), s);
    auto r = test::run_program("tarn", run.path(), "", s.name);
    ASSERT_EQ(r.status, 0) << r.err;
    lift.push_back(test::last_summary(read_file(run.file(s.name + ".BRF"))).cl);
  }
  EXPECT_NEAR(lift[0], lift[1], 0.002 * lift[1]) << "the 15-point sample against the 101-point section";
}

}  // namespace
}  // namespace tarn
