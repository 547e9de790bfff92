// The set-up dialogue: one question at a time in a fixed order, every answer
// checked and asked again until it is acceptable. The answers are kept in
// memory and the run files are written only once the dialogue is complete,
// so a dialogue cut short leaves the files of an earlier set-up untouched.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "prep.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kRunNameAnswer("(A8, A12)");
const Layout kTitleAnswer("(A68, A20)");
const Layout kDumpNameAnswer("(A8)");
const Layout kCharacterAnswer("(A1)");
const Layout kDigitAnswer("(I1)");
const Layout kIntegerAnswer("(I5)");
const Layout kGridLinesAnswer("(I3)");
const Layout kRealAnswer("(F10.0)");

constexpr float kMillion = 1000000.0f;
constexpr float kLargestCount = 1.0e9f;  // an iteration count read in an I5 field is far below this

const char* const kInputError = " ***Input error***";
const char* const kInputErrorCaps = " ***INPUT ERROR*** ";
const char* const kNonAlphanumeric = " File name entered included non-alphanumeric character.";
const char* const kNotZeroOrOne = " Character input is neither 0 nor 1.";
const char* const kReynoldsInFull =
    " R is entered DIVIDED BY 1 MILLION (6 for 6000000); values above 1000 are refused, re-enter R.";
const char* const kEndOfInput =
    "end of input before the set-up dialogue was complete; no run files were written";

// Console texts come in two styles: list-directed (the text after one added
// blank) and messages (an empty record, then the text as it stands).
void say(const char* text) { units().write_list(kConsoleOut, text); }
void tell(const std::vector<const char*>& lines) {
  units().write_line(kConsoleOut, "");
  for (const char* line : lines) units().write_line(kConsoleOut, line);
}
void tell(const char* text) { tell(std::vector<const char*>{text}); }

// Reads one console line under a layout. False when a field cannot take its
// characters, or holds a number too large for a real; the end of input stops
// the program, since asking again could never be answered.
bool read_answer(const Layout& layout, const std::vector<Target>& targets) {
  ReadStatus status = units().read_values(kConsoleIn, layout, targets);
  if (status == ReadStatus::kEnd) throw RunStop(kEndOfInput, kExitBadInput);
  if (status != ReadStatus::kOk) return false;
  return std::all_of(targets.begin(), targets.end(),
                     [](const Target& t) { return t.kind != Target::kReal || std::isfinite(*t.r); });
}

char read_character() {
  std::string answer;
  read_answer(kCharacterAnswer, {answer});
  return answer[0];
}

bool is_yes(char c) { return c == 'y' || c == 'Y'; }

std::string before_first_blank(const std::string& text) { return text.substr(0, text.find(' ')); }

bool is_blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

std::string ask_run_name() {
  for (;;) {
    say("   ");
    say("Enter name to be used for TARN input/output files - max 8 characters.");
    say("(File name extensions are attached by this program.)");
    std::string head, tail;
    read_answer(kRunNameAnswer, {head, tail});
    if (!is_blank(tail) || head[0] == ' ') continue;
    std::string name = before_first_blank(head);
    if (all_alphanumeric(name)) return name;
    say("");
    say(kInputErrorCaps);
    say("");
    say(kNonAlphanumeric);
  }
}

std::string ask_title() {
  for (;;) {
    tell(" Enter title of TARN run, up to 68 characters.");
    std::string title, beyond;
    read_answer(kTitleAnswer, {title, beyond});
    if (is_blank(beyond)) return title;
    tell(kInputErrorCaps);
    tell(" Title input is too long.");
  }
}

int32_t ask_zero_or_one(const std::vector<const char*>& prompt) {
  for (;;) {
    tell(prompt);
    int32_t v = -1;
    if (read_answer(kDigitAnswer, {v}) && (v == 0 || v == 1)) return v;
    tell(kInputErrorCaps);
    tell(kNotZeroOrOne);
  }
}

std::string ask_dump_name() {
  for (;;) {
    tell(" Enter name of binary dump file from which to continue.");
    tell(" If more than 8 alphanumeric characters are entered, only the first 8 are read. A space terminates "
         "name read.");
    tell(" (The extension .UNF is added to the name entered.)");
    std::string answer;
    read_answer(kDumpNameAnswer, {answer});
    std::string name = before_first_blank(answer);
    if (name.empty()) continue;
    if (all_alphanumeric(name)) return name + ".UNF";
    tell(kInputErrorCaps);
    tell(kNonAlphanumeric);
  }
}

// The aerofoil data file name, blank-padded to its 12-character field.
std::string ask_aerofoil_name() {
  for (;;) {
    tell(" Enter name of aerofoil coordinates file, WITH any extension.");
    units().write_line(kConsoleOut, " (Only alphanumeric characters are allowed.)");
    std::string answer;
    if (!units().read_line(kConsoleIn, answer)) throw RunStop(kEndOfInput, kExitBadInput);
    std::string message = aerofoil_name_message(answer);
    if (message.empty()) {
      std::string name = before_first_blank(answer);
      return name + std::string(kInputNameField - name.size(), ' ');
    }
    say(message.c_str());
  }
}

// Reads a real after its prompt until the read succeeds.
float ask_real(const char* prompt) {
  for (;;) {
    tell(prompt);
    float v = 0.0f;
    if (read_answer(kRealAnswer, {v})) return v;
    tell(kInputError);
  }
}

// A real read already: a value outside [lo, hi] prints the refusal, which
// itself asks for the value again, and reads once more without the prompt.
// `above`, when given, is the refusal of a value above the range, `refusal`
// then that of a value below it.
float keep_in_range(float v, const char* prompt, float lo, float hi, const char* refusal, const char* above = nullptr) {
  for (;;) {
    if (v >= lo && v <= hi) return v;
    tell(above && v > hi ? above : refusal);
    if (!read_answer(kRealAnswer, {v})) {
      tell(kInputError);
      v = ask_real(prompt);
    }
  }
}

float ask_real_in_range(const char* prompt, float lo, float hi, const char* refusal, const char* above = nullptr) {
  return keep_in_range(ask_real(prompt), prompt, lo, hi, refusal, above);
}

float ask_mach() {
  for (;;) {
    float em = ask_real(" Enter Mach number.");
    if (em < kMinMach)
      tell(" Input error, Mach number entered is less than 0.05.");
    else if (em > kMaxMach)
      tell(" Input error, Mach number entered is greater than 0.95.");
    else
      return em;
  }
}

float ask_incidence() {
  for (;;) {
    float alp = ask_real(" Enter incidence in deg, required or starting value.");
    if (alp >= -kMaxIncidence && alp <= kMaxIncidence) return alp;
    tell(kInputError);
  }
}

bool is_free(std::string answer) {
  answer.erase(0, answer.find_first_not_of(' '));
  answer.erase(answer.find_last_not_of(' ') + 1);
  std::transform(answer.begin(), answer.end(), answer.begin(), [](unsigned char c) { return std::tolower(c); });
  return answer == "free";
}

// XTU and XTL. The answer `free` to XTU asks for free transition: NCRIT,
// then XTU and XTL as trips (1 for none).
void ask_transition(RunAnswers& a) {
  const char* const xtu = " Enter XTU.";
  const char* const xtu_refusal = " XTU outside range 0.01,1. Re-enter XTU.";
  tell(xtu);
  std::string answer;
  if (!units().read_line(kConsoleIn, answer)) throw RunStop(kEndOfInput, kExitBadInput);
  if (is_free(answer)) {
    a.NCRIT = ask_real_in_range(" Enter NCRIT, the critical amplification factor (9 for free flight).",
                                std::nextafter(0.0f, 1.0f), kMaxNcrit, " NCRIT outside range 0,20. Re-enter NCRIT.");
    a.XTU = ask_real_in_range(" Enter XTU of the upper-surface trip (1 for none).", kMinTransition, kMaxTransition,
                              xtu_refusal);
    a.XTL = ask_real_in_range(" Enter XTL of the lower-surface trip (1 for none).", kMinTransition, kMaxTransition,
                              " XTL outside range 0.01,1. Re-enter XTL.");
    return;
  }
  float v = 0.0f;
  if (parse_record(answer, kRealAnswer, {v}) != ReadStatus::kOk || !std::isfinite(v)) {
    tell(kInputError);
    v = ask_real(xtu);
  }
  a.XTU = keep_in_range(v, xtu, kMinTransition, kMaxTransition, xtu_refusal);
  a.XTL = ask_real_in_range(" Enter XTL.", kMinTransition, kMaxTransition, " XTL outside range 0.01,1. Re-enter XTL.");
}

void ask_viscous_parameters(RunAnswers& a) {
  a.ICL = ask_zero_or_one(
      {" Enter ICL, ICL = 1 if a given CL is required ", "            ICL = 0 if a given incidence is required"});
  if (a.ICL == 1)
    a.CLC = ask_real_in_range(" Enter required value of CL.", kMinLift, kMaxLift,
                              " CLC outside range -9999,99999. Re-enter CLC.");
  a.R = kMillion * ask_real_in_range(" Enter R based on chord, DIVIDED BY 1 MILLION.", kMinReynoldsMillions,
                                     kMaxReynoldsMillions, " R must equal or exceed 100000, re-enter R.",
                                     kReynoldsInFull);
  ask_transition(a);
}

// One numerical parameter that may keep its default: the texts that
// describe it, how its answer is read and what it accepts.
struct Parameter {
  const char* name;
  std::vector<const char*> description;  // description lines, then default lines
  const char* prompt;
  const char* refusal;  // nullptr: an unacceptable value only repeats the prompt
  const Layout* layout;
  int32_t* integer;  // the answer, when an integer
  float* real;       // the answer, when a real
  std::function<bool(float)> acceptable;
};

// Asks for the value until one is read and accepted.
void ask_value(const Parameter& p) {
  for (;;) {
    say(p.prompt);
    int32_t i = 0;
    float r = 0.0f;
    if (!read_answer(*p.layout, {p.integer ? Target(i) : Target(r)})) {
      say(kInputError);
      continue;
    }
    float v = p.integer ? static_cast<float>(i) : r;
    if (p.acceptable(v)) {
      if (p.integer) *p.integer = i;
      else *p.real = r;
      return;
    }
    if (p.refusal) say(p.refusal);
  }
}

std::vector<Parameter> parameters(RunAnswers& a) {
  const char* const kContinuationNote = "(Any change is ineffective for a continuation run.)";
  const char* const kSuccessive = "Number of inviscid flow iterations between successive ";
  auto positive_up_to = [](float hi) { return [hi](float v) { return v > 0.0f && v <= hi; }; };
  auto zero_to = [](float hi) { return [hi](float v) { return v >= 0.0f && v <= hi; }; };
  auto coupling_interval = [](float v) { return v >= 1.0f && v <= 20.0f; };
  std::vector<Parameter> list = {
      {"NSG", {"Number of fine-mesh grid lines around aerofoil, NSG.",
        "(NSG=160, by default. Enter other than d or D to change.)", kContinuationNote},
       "Enter NSG, must be even and between 96 and 160.", nullptr, &kGridLinesAnswer, &a.NSG, nullptr,
       [](float v) { return static_cast<int32_t>(v) % 2 == 0 && v >= 96.0f && v <= 160.0f; }},
      {"NSC", {"Number of coarse-mesh iterations, NSC.", "(NSC=100, by default. Enter other than d or D to change.)"},
       "Enter NSC. NSC must 0 or greater.", nullptr, &kIntegerAnswer, &a.NSC, nullptr,
       [](float v) { return v >= 0.0f; }},
      {"NSF", {"Number of fine-mesh iterations, NSF.", "(NSF=200, by default. Enter other than d or D to change.)"},
       "Enter NSF. NSF must be greater than 0.", nullptr, &kIntegerAnswer, &a.NSF, nullptr,
       [](float v) { return v > 0.0f; }},
      {"XS", {"Over-relaxation parameter, XS.", "(XS=1.9, by default. Enter other than d or D to change.)"},
       "Enter XS.", "Entered value of XS outside range 0 to 2.", &kRealAnswer, nullptr, &a.XS, positive_up_to(2.0f)},
      {"XM", {"Under-relaxation parameter, XM.", "(XM=1.0, by default. Enter other than d or D to change.)"},
       "Enter XM.", "Entered value of XM outside range 0 to 1.", &kRealAnswer, nullptr, &a.XM, positive_up_to(1.0f)},
  };
  if (a.viscous == 1) {
    std::vector<Parameter> viscous = {
        {"GVISCC", {"Relaxation factor for boundary-layer (coarse mesh),GVISCC.",
          "(GVISCC=0.15, by default. Enter other than d or D to change.)"},
         "Enter GVISCC.", "Entered value of GVISCC outside range 0 to 0.5.", &kRealAnswer, nullptr, &a.GVISCC,
         positive_up_to(0.5f)},
        {"NVISCC", {kSuccessive, "boundary layer calculations (coarse mesh), NVISCC.",
          "(NVISCC=5, by default. Enter other than d or D to change.)"},
         "Enter NVISCC.", "Entered value of NVISCC outside range 1 to 20.", &kIntegerAnswer, &a.NVISCC, nullptr,
         coupling_interval},
        {"GVISCF", {"Relaxation factor for boundary-layer (fine mesh), GVISCF.",
          "(GVISCF=0.075, by default. Enter other than d or Dto change.)"},
         "Enter GVISCF", "Entered value of GVISCF outside range 0 to 0.5.", &kRealAnswer, nullptr, &a.GVISCF,
         positive_up_to(0.5f)},
        {"NVISCF", {kSuccessive, "boundary layer calculations (fine mesh), NVISCF.",
          "(NVISCF=5, by default. Enter other than d or D to change.)"},
         "Enter NVISCF.", "Entered value of NVISC5 outside range 1 to 20.", &kIntegerAnswer, &a.NVISCF, nullptr,
         coupling_interval},
        {"DD21", {"Increment in non-dimensional momentum thickness at XTU, DD21",
          "(DD21=0, by default. Enter other than d or D to change.)"},
         "Enter DD21.", "Entered value of DD21 outside range 0 to 0.01.", &kRealAnswer, nullptr, &a.DD21,
         zero_to(0.01f)},
        {"DD22", {"Increment in non-dimensional momentum thickness at XTL, DD22",
          "(DD22=0, by default. Enter other than d or D to change.)"},
         "Enter DD22.", "Entered value of DD22 outside range 0 to 0.01.", &kRealAnswer, nullptr, &a.DD22,
         zero_to(0.01f)},
    };
    list.insert(list.end(), viscous.begin(), viscous.end());
  }
  list.push_back({"EP",
                  {"Artificial viscosity parameter, EP.", "(EP=0.8, by default. Enter other than d or D to change.)"},
                  "Enter EP.", "Entered value of EP outside range 0 to 1.", &kRealAnswer, nullptr, &a.EP,
                  zero_to(1.0f)});
  list.push_back({"QCP", {"Partially-conservative parameter, QCP.",
                   "(QCP=0.25, by default. Enter other than d or D to change.)"},
                  "Enter QCP", "Entered value of QCP outside range 0 to 1.", &kRealAnswer, nullptr, &a.QCP,
                  zero_to(1.0f)});
  return list;
}

void ask_defaults(RunAnswers& a) {
  say("    ");
  say("Are any default parameters to be changed? ");
  say("(Enter y or Y for yes, otherwise any other character.)");
  if (!is_yes(read_character())) return;
  say("If parameter to be set to default value, enter d orD,");
  say("otherwise enter any other character.");
  for (const Parameter& p : parameters(a)) {
    say("   ");
    for (const char* line : p.description) say(line);
    char c = read_character();
    if (c != 'd' && c != 'D') ask_value(p);
  }
}

}  // namespace

std::string set_numerical_parameter(RunAnswers& a, const std::string& name, float value) {
  for (const Parameter& p : parameters(a)) {
    if (name != p.name) continue;
    bool whole = !p.integer || (std::fabs(value) < kLargestCount && value == std::trunc(value));
    if (!whole || !p.acceptable(value)) return p.refusal ? p.refusal : p.prompt;
    if (p.integer) *p.integer = static_cast<int32_t>(value);
    else *p.real = value;
    return std::string();
  }
  return "no numerical parameter " + name + (a.viscous == 1 ? "" : " in an inviscid run");
}

int run_tarnprep() {
  RunAnswers a;
  a.name = ask_run_name();
  open_run_files(a.name);
  a.TITLE = ask_title();
  a.viscous = ask_zero_or_one({" Enter 0 for an inviscid run, 1 for a viscous run."});
  a.newrun = ask_zero_or_one({" Enter 0 for continuation run, 1 for a new run (with mapping)."});
  if (a.newrun == 0) {
    a.input = ask_dump_name();
  } else {
    a.input = ask_aerofoil_name();
    tell(" Is table of aerofoil slopes etc. to be output? Enter y(es) or n(o).");
    a.slopes = is_yes(read_character()) ? 0 : 1;
    tell(" Is file of grid data to be produced? Enter y(es) or no).");
    a.gridflag = is_yes(read_character()) ? 1 : 0;
  }
  tell(" Is a binary dump to be output? Enter y(es) or n(o).");
  a.dumpflag = is_yes(read_character()) ? 1 : 0;
  a.EM = ask_mach();
  a.ALP = ask_incidence();
  if (a.viscous == 1) ask_viscous_parameters(a);
  if (a.ICL == 0) a.CLC = 0.0f;
  ask_defaults(a);
  write_run_files(a);
  return kExitOk;
}

}  // namespace tarn
