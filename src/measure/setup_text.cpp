#include "measure/setup_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>

#include "measure/characteristic_validation.h"
#include "measure/counts.h"

namespace gaugemon::measure {

namespace {

constexpr std::string_view kHeader = "# Characteristics: name; decimals; lower limit; upper limit; formula\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr unsigned kConstantDecimals = 4;  // 0.0001 mm
// More integer digits than any accepted number has; keeps the parse in int64.
constexpr size_t kMaxIntegerDigits = 12;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A decimal number written out ("-12.345", "+3", ".5") in units of
// 10^-decimals, exactly; nothing when it has more non-zero decimals, is not
// such a number, or is too large.
std::optional<int64_t> parseFixed(std::string_view s, unsigned decimals) {
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int64_t value = 0;
    size_t integerDigits = 0;
    size_t i = 0;
    for (; i < s.size() && isDigit(s[i]); ++i) {
        if (++integerDigits > kMaxIntegerDigits) return std::nullopt;
        value = value * 10 + (s[i] - '0');
    }
    unsigned fractionDigits = 0;
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && isDigit(s[i]); ++i, ++fractionDigits) {
            if (fractionDigits < decimals) {
                value = value * 10 + (s[i] - '0');
            } else if (s[i] != '0') {
                return std::nullopt;
            }
        }
    }
    if (i != s.size() || (integerDigits == 0 && fractionDigits == 0)) return std::nullopt;
    for (unsigned d = fractionDigits; d < decimals; ++d) value *= 10;
    return negative ? -value : value;
}

// Whether `s` would be a number of `decimals` decimals but for non-zero
// digits after them ("0.0001" with 3).
bool moreDecimalsThan(std::string_view s, unsigned decimals) {
    const size_t point = s.find('.');
    if (point == std::string_view::npos || s.size() <= point + 1 + decimals) return false;
    const std::string_view beyond = s.substr(point + 1 + decimals);
    return std::all_of(beyond.begin(), beyond.end(), isDigit) &&
           parseFixed(s.substr(0, point + 1 + decimals), decimals);
}

// "-12.345" from -12345 and 3 decimals.
std::string fixedText(int64_t value, unsigned decimals) {
    const bool negative = value < 0;
    std::string digits = std::to_string(negative ? -value : value);
    if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
    if (decimals > 0) digits.insert(digits.size() - decimals, 1, '.');
    return negative ? "-" + digits : digits;
}

unsigned limitDecimals(LengthUnit unit) { return unit == LengthUnit::Inch ? 5 : 3; }

// The tokens of a formula: a word (letters and digits: "p12", "max", "nan"),
// a number ("0.5", "1e3"), or one character of + - * ( ) , and "..".
class FormulaScanner {
public:
    explicit FormulaScanner(std::string_view text) : text_(text) {}

    bool atEnd() {
        skipSpace();
        return pos_ >= text_.size();
    }
    bool take(std::string_view symbol) {
        skipSpace();
        if (text_.substr(pos_, symbol.size()) != symbol) return false;
        pos_ += symbol.size();
        return true;
    }
    char peek() {
        skipSpace();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    std::string_view word() {
        skipSpace();
        const size_t start = pos_;
        if (pos_ < text_.size() && isLetter(text_[pos_])) {
            while (pos_ < text_.size() && (isLetter(text_[pos_]) || isDigit(text_[pos_]))) ++pos_;
        } else {
            while (pos_ < text_.size() && (isDigit(text_[pos_]) || text_[pos_] == '.' || lower(text_[pos_]) == 'e')) {
                // The sign of an exponent belongs to the number: "1e-3".
                if (lower(text_[pos_]) == 'e' && pos_ + 1 < text_.size() &&
                    (text_[pos_ + 1] == '-' || text_[pos_ + 1] == '+')) {
                    ++pos_;
                }
                // ".." ends a number: "p1..p4" has no numbers, but be safe.
                if (text_[pos_] == '.' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '.') break;
                ++pos_;
            }
        }
        return text_.substr(start, pos_ - start);
    }

private:
    void skipSpace() {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
    }
    std::string_view text_;
    size_t pos_ = 0;
};

// "p7" -> 7; a refusal for a word that names no probe of p1..p60.
struct ProbeWord {
    unsigned probe = 0;
    std::optional<Refusal> refusal;
};

bool looksLikeProbe(std::string_view word) { return word.size() >= 2 && lower(word[0]) == 'p' && isDigit(word[1]); }

ProbeWord probeOf(std::string_view word) {
    if (!looksLikeProbe(word)) return {0, Refusal{RefusalReason::BadFormula}};
    unsigned probe = 0;
    const auto [end, error] = std::from_chars(word.data() + 1, word.data() + word.size(), probe);
    if (error == std::errc::result_out_of_range) return {0, Refusal{RefusalReason::ProbeNumberTooLarge}};
    if (error != std::errc() || end != word.data() + word.size()) return {0, Refusal{RefusalReason::BadFormula}};
    if (probe < 1 || probe > kMaxProbes) return {0, Refusal{RefusalReason::UnknownProbe, 0, probe}};
    return {probe, std::nullopt};
}

std::optional<Refusal> addTerm(Formula& formula, unsigned probe, double weight) {
    if (formula.terms.size() >= kMaxTerms) return Refusal{RefusalReason::TooManyTerms};
    formula.terms.push_back({static_cast<uint8_t>(probe), weight});
    return std::nullopt;
}

// "p3", "p3..p10" into the list of a function.
std::optional<Refusal> parseListItem(FormulaScanner& scan, Formula& formula) {
    const ProbeWord first = probeOf(scan.word());
    if (first.refusal) return first.refusal;
    if (!scan.take("..")) return addTerm(formula, first.probe, 1.0);
    const ProbeWord last = probeOf(scan.word());
    if (last.refusal) return last.refusal;
    if (last.probe < first.probe) return Refusal{RefusalReason::BadFormula};
    for (unsigned p = first.probe; p <= last.probe; ++p) {
        if (auto refusal = addTerm(formula, p, 1.0)) return refusal;
    }
    return std::nullopt;
}

std::optional<Refusal> parseList(FormulaScanner& scan, Formula& formula) {
    if (!scan.take("(")) return Refusal{RefusalReason::BadFormula};
    if (scan.take(")")) return Refusal{RefusalReason::EmptyList};
    do {
        if (auto refusal = parseListItem(scan, formula)) return refusal;
    } while (scan.take(","));
    if (!scan.take(")") || !scan.atEnd()) return Refusal{RefusalReason::BadFormula};
    return std::nullopt;
}

std::optional<double> parseWeight(std::string_view word) {
    double weight = 0.0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), weight);
    if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    if (!std::isfinite(weight) || std::fabs(weight) > kMaxWeight) return std::nullopt;
    return weight;
}

// A word that is meant as a number, even one that is refused ("1e3", "nan").
bool spellsNumber(std::string_view word) {
    return !isLetter(word.front()) || equalsNoCase(word, "nan") || equalsNoCase(word, "inf") ||
           equalsNoCase(word, "infinity");
}

// One signed item of a sum: "p1", "- 0.5*p3", "+ 25".
std::optional<Refusal> parseSumItem(FormulaScanner& scan, Formula& formula, int64_t& constant) {
    const double sign = scan.take("-") ? -1.0 : (scan.take("+"), 1.0);
    const std::string_view word = scan.word();
    if (word.empty()) return Refusal{RefusalReason::BadFormula};
    if (looksLikeProbe(word)) {
        const ProbeWord p = probeOf(word);
        return p.refusal ? p.refusal : addTerm(formula, p.probe, sign);
    }
    if (scan.take("*")) {
        const std::optional<double> weight = parseWeight(word);
        if (!weight) return Refusal{RefusalReason::BadWeight};
        const ProbeWord p = probeOf(scan.word());
        return p.refusal ? p.refusal : addTerm(formula, p.probe, sign * *weight);
    }
    const std::optional<int64_t> value = parseFixed(word, kConstantDecimals);
    if (!value) return Refusal{spellsNumber(word) ? RefusalReason::BadConstant : RefusalReason::BadFormula};
    constant += sign < 0 ? -*value : *value;
    if (constant > kMaxConstantTenthMicrometres || constant < -kMaxConstantTenthMicrometres) {
        return Refusal{RefusalReason::BadConstant};
    }
    return std::nullopt;
}

std::optional<Refusal> parseSum(FormulaScanner& scan, Formula& formula) {
    int64_t constant = 0;
    do {
        if (auto refusal = parseSumItem(scan, formula, constant)) return refusal;
    } while (scan.peek() == '+' || scan.peek() == '-');
    if (!scan.atEnd()) return Refusal{RefusalReason::BadFormula};
    if (formula.terms.empty()) return Refusal{RefusalReason::EmptyList};
    formula.constant = tenthMicrometres(static_cast<int32_t>(constant));
    return std::nullopt;
}

std::optional<FormulaKind> functionKind(std::string_view word) {
    if (equalsNoCase(word, "mean")) return FormulaKind::Mean;
    if (equalsNoCase(word, "max")) return FormulaKind::Max;
    if (equalsNoCase(word, "min")) return FormulaKind::Min;
    if (equalsNoCase(word, "range")) return FormulaKind::Range;
    return std::nullopt;
}

std::optional<Refusal> parseFormula(std::string_view text, Formula& formula) {
    FormulaScanner probe(text);
    if (const auto kind = functionKind(probe.word()); kind && probe.peek() == '(') {
        formula.kind = *kind;
        return parseList(probe, formula);
    }
    FormulaScanner scan(text);
    formula.kind = FormulaKind::Sum;
    return parseSum(scan, formula);
}

std::string weightText(double weight) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, weight);
    return {buffer, result.ptr};
}

std::string constantText(int64_t tenths) {
    std::string text = fixedText(tenths, kConstantDecimals);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

void appendSumTerm(std::string& out, const FormulaTerm& term, bool first) {
    const double magnitude = std::fabs(term.weight);
    if (std::signbit(term.weight)) {
        out += first ? "-" : " - ";
    } else if (!first) {
        out += " + ";
    }
    if (magnitude != 1.0) out += weightText(magnitude) + "*";
    out += "p" + std::to_string(term.probe);
}

// Runs of three or more consecutive probes become ranges: "p1..p8, p10".
void appendList(std::string& out, const std::vector<FormulaTerm>& terms) {
    for (size_t i = 0; i < terms.size();) {
        size_t run = 1;
        while (i + run < terms.size() && terms[i + run].probe == terms[i].probe + run) ++run;
        if (i > 0) out += ", ";
        out += "p" + std::to_string(terms[i].probe);
        if (run >= 3) {
            out += "..p" + std::to_string(terms[i + run - 1].probe);
        } else {
            run = 1;
        }
        i += run;
    }
}

const char* functionName(FormulaKind kind) {
    switch (kind) {
        case FormulaKind::Mean: return "mean";
        case FormulaKind::Max: return "max";
        case FormulaKind::Min: return "min";
        case FormulaKind::Range: return "range";
        case FormulaKind::Sum: break;
    }
    return "";
}

// Splits "a; b; c" into at most `N` + 1 fields (the last counts the excess).
template <size_t N>
size_t splitFields(std::string_view line, std::array<std::string_view, N>& fields) {
    size_t count = 0;
    while (count < N) {
        const size_t separator = line.find(';');
        fields[count++] = trim(line.substr(0, separator));
        if (separator == std::string_view::npos) return count;
        line.remove_prefix(separator + 1);
    }
    return count + 1;
}

std::optional<LengthUnit> unitLine(std::string_view line) {
    if (line.size() < 5 || !equalsNoCase(line.substr(0, 4), "unit") || !isSpace(line[4])) return std::nullopt;
    const std::string_view unit = trim(line.substr(4));
    if (equalsNoCase(unit, "mm")) return LengthUnit::Millimetre;
    if (equalsNoCase(unit, "in")) return LengthUnit::Inch;
    return std::nullopt;
}

bool isUnitLine(std::string_view line) { return line.size() >= 4 && equalsNoCase(line.substr(0, 4), "unit"); }

}  // namespace

FieldsOutcome definitionFromFields(const DefinitionFields& fields, LengthUnit unit) {
    FieldsOutcome out;
    CharacteristicDefinition& d = out.definition;
    d.name = std::string(trim(fields.name));
    const std::optional<int64_t> decimals = parseFixed(trim(fields.decimals), 0);
    if (!decimals || *decimals < 0 || *decimals > kMaxDecimals) {
        out.refusal = Refusal{RefusalReason::BadDecimals};
        return out;
    }
    d.decimals = static_cast<unsigned>(*decimals);
    const std::string_view lowerText = trim(fields.lower);
    const std::string_view upperText = trim(fields.upper);
    const std::optional<int64_t> lowerLimit = parseFixed(lowerText, limitDecimals(unit));
    const std::optional<int64_t> upperLimit = parseFixed(upperText, limitDecimals(unit));
    const auto inRange = [](const std::optional<int64_t>& v) {
        return v && *v >= -kMaxLimitStored && *v <= kMaxLimitStored;
    };
    if (!inRange(lowerLimit) || !inRange(upperLimit)) {
        // A limit finer than the stored units is neither rounded nor called out of range.
        const bool finer =
            moreDecimalsThan(lowerText, limitDecimals(unit)) || moreDecimalsThan(upperText, limitDecimals(unit));
        out.refusal = Refusal{finer ? RefusalReason::LimitDecimals : RefusalReason::BadLimit};
        return out;
    }
    d.lowerStored = static_cast<int32_t>(*lowerLimit);
    d.upperStored = static_cast<int32_t>(*upperLimit);
    out.refusal = parseFormula(trim(fields.formula), d.formula);
    return out;
}

std::string limitText(int32_t stored, LengthUnit unit) { return fixedText(stored, limitDecimals(unit)); }

DefinitionFields fieldsOf(const CharacteristicDefinition& definition, LengthUnit unit) {
    return {definition.name, std::to_string(definition.decimals), limitText(definition.lowerStored, unit),
            limitText(definition.upperStored, unit), formulaText(definition.formula)};
}

std::string formulaText(const Formula& formula) {
    std::string out;
    if (formula.kind != FormulaKind::Sum) {
        out += functionName(formula.kind);
        out += '(';
        appendList(out, formula.terms);
        out += ')';
        return out;
    }
    for (size_t i = 0; i < formula.terms.size(); ++i) appendSumTerm(out, formula.terms[i], i == 0);
    const int64_t constant = formula.constant.tenthMicrometres();
    if (constant != 0) out += (constant < 0 ? " - " : " + ") + constantText(constant < 0 ? -constant : constant);
    return out;
}

SetupParse parseSetupText(std::string_view text, unsigned probeCount) {
    SetupParse out;
    const auto refuse = [&out](Refusal refusal, unsigned line) {
        refusal.line = line;
        if (out.refusals.size() < kMaxReportedRefusals) out.refusals.push_back(refusal);
    };
    if (text.size() > kMaxSetupTextBytes) {
        refuse(Refusal{RefusalReason::TextTooLarge}, 0);
        return out;
    }
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    unsigned lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (isUnitLine(line) && line.find(';') == std::string_view::npos) {
            const std::optional<LengthUnit> unit = unitLine(line);
            // The limits of the lines read so far were in the other unit.
            if (!unit || !out.setup.definitions.empty()) {
                refuse(Refusal{RefusalReason::BadUnit}, lineNumber);
            } else {
                out.setup.unit = *unit;
            }
            continue;
        }
        std::array<std::string_view, 5> fields;
        if (splitFields(line, fields) != fields.size()) {
            refuse(Refusal{RefusalReason::BadLine}, lineNumber);
            continue;
        }
        const FieldsOutcome read =
            definitionFromFields({std::string(fields[0]), std::string(fields[1]), std::string(fields[2]),
                                  std::string(fields[3]), std::string(fields[4])},
                                 out.setup.unit);
        std::optional<Refusal> refusal =
            read.refusal ? read.refusal : definitionRefusal(read.definition, out.setup.definitions, probeCount);
        if (!refusal && out.setup.definitions.size() >= kMaxCharacteristics) {
            refusal = Refusal{RefusalReason::TooManyCharacteristics};
        }
        if (refusal) {
            refuse(*refusal, lineNumber);
        } else {
            out.setup.definitions.push_back(read.definition);
        }
    }
    return out;
}

std::string writeSetupText(const CharacteristicSetup& setup) {
    std::string out(kHeader);
    out += setup.unit == LengthUnit::Inch ? "unit in\n" : "unit mm\n";
    for (const CharacteristicDefinition& d : setup.definitions) {
        const DefinitionFields f = fieldsOf(d, setup.unit);
        out += f.name + "; " + f.decimals + "; " + f.lower + "; " + f.upper + "; " + f.formula + "\n";
    }
    return out;
}

std::optional<Refusal> readSetupFile(const std::filesystem::path& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return Refusal{RefusalReason::CannotRead};
    // One byte more than allowed tells a file that is too large without reading it all.
    text.resize(kMaxSetupTextBytes + 1);
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) return Refusal{RefusalReason::CannotRead};
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.size() > kMaxSetupTextBytes) {
        text.clear();
        return Refusal{RefusalReason::TextTooLarge};
    }
    return std::nullopt;
}

}  // namespace gaugemon::measure
