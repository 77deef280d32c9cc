// FORMAT interpretation. Nothing is compiled ahead: the text is walked again every time a data
// item asks for its descriptor, performing the control edits passed on the way.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/format.h"
#include "nuvex/runtime/statements.h"
#include "runtime/io_status.h"

namespace {

// Numbers in a FORMAT saturate here: every count, width and column beyond it is absurd, and the
// walk must never overflow while accumulating digits.
constexpr int32_t kNumberLimit = 999999999;
constexpr int32_t kDecimalBase = 10;
constexpr int32_t kDefaultExponentDigits = 2;
constexpr int32_t kUnsizedIntegerWidth = 12;  // I, O and Z without a usable width
constexpr int32_t kTabStopColumns = 8;        // TTn tabs to column 8n

// The repeat count of the current data edit descriptor and a copy of it, shared by all units:
// while the count is above zero the next request repeats the copy without reading the format.
struct DescriptorRepetition {
  int32_t remaining = 0;
  edit_descriptor saved{};
};
DescriptorRepetition repetition;

bool isBlank(char c) {
  return c == ' ';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char* skipBlanks(char* p) {
  while (isBlank(*p)) ++p;
  return p;
}

// Reads a run of decimal digits at *p (saturating), moving *p past it; false when none.
bool readDigits(char** p, int32_t* value) {
  if (!isDigit(**p)) return false;
  int32_t number = 0;
  while (isDigit(**p)) {
    int32_t digit = **p - '0';
    number = number > (kNumberLimit - digit) / kDecimalBase ? kNumberLimit
                                                            : number * kDecimalBase + digit;
    ++*p;
  }
  *value = number;
  return true;
}

void formatError(const char* text, const char* position) {
  f_format_error(text, position);
}

const char* prematureEnd(int writing) {
  return writing ? "premature end of format w/WRITE" : "premature end of format w/READ";
}

// What one call of advance_format has done so far. A pass through a repeated group that ends
// with the cursor, the record and the record count where it began changes nothing by being
// repeated (the control edits are monotone in the cursor), so its remaining repetitions are
// skipped: a count such as the 999999999 of 999999999(1X) then costs at most a record's width
// of passes.
struct Walk {
  unit_record* unit;
  int finishing;
  int writing;
  int reversions = 0;
  uint32_t recordAdvances = 0;
  bool passKnown[FORMAT_MAX_LEVELS] = {};
  const char* passCursor[FORMAT_MAX_LEVELS] = {};
  const char* passRecord[FORMAT_MAX_LEVELS] = {};
  uint32_t passAdvances[FORMAT_MAX_LEVELS] = {};

  void startPass(int32_t level) {
    passKnown[level] = true;
    passCursor[level] = unit->cursor;
    passRecord[level] = unit->record;
    passAdvances[level] = recordAdvances;
  }
  bool passChangedNothing(int32_t level) const {
    return passKnown[level] && passCursor[level] == unit->cursor &&
           passRecord[level] == unit->record && passAdvances[level] == recordAdvances;
  }
  void advanceRecord() {
    ++recordAdvances;
    next_record(unit, writing);
  }
};

bool statementStopped(const unit_record* unit) {
  return unit->iostat != 0 || (unit->state & UNIT_STATE_EOF) != 0;
}

// Stores one literal character at the cursor, or records that the record is full.
void placeLiteral(unit_record* unit, char c) {
  if (unit->cursor < unit->record_end) {
    *unit->cursor++ = c;
  } else {
    unit->iostat = nuvex::runtime::kIostatRecordOverflow;
  }
}

// A quoted literal starting at the quote; returns the position after the closing quote (or the
// end of the text). A doubled quote stands for one quote character.
char* literalString(unit_record* unit, char* p, int writing) {
  char quote = *p++;
  while (*p != '\0') {
    if (*p == quote) {
      if (p[1] != quote) return p + 1;
      ++p;
    }
    if (writing) placeLiteral(unit, *p);
    ++p;
  }
  return p;
}

// nH followed by n characters of literal text.
char* hollerith(unit_record* unit, char* p, int32_t count, int writing) {
  char* text = p + 1;
  for (int32_t i = 0; i < count; ++i) {
    if (text[i] == '\0') {
      formatError("premature end of format w/Hollerith field", text + i);
      return text + i;
    }
    if (writing) placeLiteral(unit, text[i]);
  }
  return text + count;
}

// The position of the parenthesis matching the one at `open`, or the end of the text; quoted
// literals are passed over whole so that parentheses inside them do not count.
char* matchingParenthesis(char* open) {
  int depth = 0;
  for (char* p = open; *p != '\0'; ++p) {
    if (*p == '\'' || *p == '"') {
      char quote = *p;
      while (p[1] != '\0' && p[1] != quote) ++p;
      if (p[1] == '\0') return p + 1;
      ++p;
    } else if (*p == '(') {
      ++depth;
    } else if (*p == ')' && --depth == 0) {
      return p;
    }
  }
  return open + std::strlen(open);
}

char* lastColumn(unit_record* unit) {
  return unit->recl > 0 ? unit->record_end - 1 : unit->record;
}

// Column n (from 1) if it lies before column recl, else the last column. Column 0 names no
// column; it is taken as the first so that the cursor never moves before the record.
char* columnOrLast(unit_record* unit, int64_t column) {
  if (column < 1) return unit->record;
  if (column < static_cast<int64_t>(unit->recl)) return unit->record + (column - 1);
  return lastColumn(unit);
}

// T, TL, TR and TT; p is at the T. Returns the position after the edit.
char* tabEdit(unit_record* unit, char* p) {
  char form = upper(p[1]);
  char* q = p + 1;
  if (form == 'L' || form == 'R' || form == 'T') {
    ++q;
  } else if (isLetter(form)) {
    f_warning("illegal char in T edit");
    return q;
  } else {
    form = ' ';
  }
  int32_t n = 0;
  readDigits(&q, &n);
  q = skipBlanks(q);
  int64_t distance = unit->cursor - unit->record;
  switch (form) {
    case 'L':
      unit->cursor = n < distance ? unit->cursor - n : unit->record;
      break;
    case 'R':
      unit->cursor = n < unit->record_end - unit->cursor ? unit->cursor + n : lastColumn(unit);
      break;
    case 'T':
      unit->cursor = columnOrLast(unit, static_cast<int64_t>(n) * kTabStopColumns);
      break;
    default:
      unit->cursor = columnOrLast(unit, n);
      break;
  }
  return q;
}

// "(": opens a group. A group beyond the seventh level is reported and passed over whole: the
// state has no slot for it, and leaving its contents out keeps the walk inside the arrays.
char* openGroup(Walk& walk, char* p, bool counted, int32_t count) {
  format_state* format = walk.unit->format;
  if (format->level + 1 >= FORMAT_MAX_LEVELS) {
    formatError("()'s in format nested too deeply", p);
    char* close = matchingParenthesis(p);
    return *close == '\0' ? close : close + 1;
  }
  if (!counted) count = 1;
  if (count < 1) {
    formatError("repeat count must be > 0", p);
    count = 1;
  }
  int32_t level = ++format->level;
  format->repeat[level] = count;
  format->group[level] = p;
  walk.startPass(level);
  if (level == 1) {
    format->reversion = p;
    format->reversion_repeat = count;
    format->reversion_level = 1;
  }
  return p + 1;
}

enum class Step { Continue, Return };

// ")": ends a repetition of the group, the group, or the whole format.
Step closeGroup(Walk& walk) {
  unit_record* unit = walk.unit;
  format_state* format = unit->format;
  int32_t level = format->level;
  if (--format->repeat[level] > 0 && !walk.passChangedNothing(level)) {
    format->fcursor = format->group[level] + 1;
    walk.startPass(level);
    return Step::Continue;
  }
  walk.passKnown[level] = false;
  if (level > 0) {
    format->level = level - 1;
    ++format->fcursor;
    return Step::Continue;
  }
  if (walk.finishing) {
    f_current_format_label = 0;
    return Step::Return;
  }
  // A second reversion within one walk means the part of the format that is repeated holds no
  // data edit descriptor: going on would advance records for ever.
  if (++walk.reversions > 1) {
    formatError("no data edit descriptor in format", format->fcursor);
    return Step::Return;
  }
  format->level = format->reversion_level;
  format->repeat[format->level] = format->reversion_repeat;
  format->group[format->level] = format->reversion;
  walk.advanceRecord();
  if (statementStopped(unit)) return Step::Return;
  format->fcursor = format->reversion + 1;
  return Step::Continue;
}

// A control edit or the start of a data edit descriptor, after its optional number.
Step controlEdit(Walk& walk, char* numberStart, bool counted, int32_t n) {
  unit_record* unit = walk.unit;
  int writing = walk.writing;
  format_state* format = unit->format;
  char* p = format->fcursor;
  char c = upper(*p);
  switch (c) {
    case '\0':
      formatError(prematureEnd(writing), p);
      return Step::Return;
    case '\'':
    case '"':
      if (!writing) f_format_warning("apostrophe edit skipped on input", p);
      if (counted) formatError("illegal digit in format", p);
      format->fcursor = literalString(unit, p, writing);
      return Step::Continue;
    case '$':
    case '\\':
      if (writing && unit->recl > 0 && unit->record[0] != '0' && unit->record[0] != '1') {
        unit->record[0] = '$';
      }
      format->fcursor = p + 1;
      return Step::Continue;
    case '(':
      format->fcursor = openGroup(walk, p, counted, n);
      return Step::Continue;
    case ')':
      if (counted) formatError("illegal digit in format", p);
      return closeGroup(walk);
    case 'B': {
      char mode = upper(p[1]);
      if (mode == 'N' || mode == 'Z') {
        format->edit_flags = mode == 'Z' ? (format->edit_flags | FORMAT_FLAG_BZ)
                                         : (format->edit_flags & ~FORMAT_FLAG_BZ);
        format->fcursor = p + 2;
      } else {
        f_warning("expecting 'N' or 'Z' following 'B' edit");
        format->fcursor = p + 1;
      }
      return Step::Continue;
    }
    case 'H':
      if (!writing) f_format_warning("Hollerith edit skipped on input", p);
      if (!counted || n < 1) {
        formatError("field width must be > 0", p);
        format->fcursor = p + 1;
      } else {
        format->fcursor = hollerith(unit, p, n, writing);
      }
      return Step::Continue;
    case 'P':
      format->scale = counted ? n : 0;
      format->fcursor = p + 1;
      return Step::Continue;
    case 'S': {
      char sign = upper(p[1]);
      if (sign == 'P')
        format->edit_flags |= FORMAT_FLAG_SP;
      else
        format->edit_flags &= ~FORMAT_FLAG_SP;
      format->fcursor = p + ((sign == 'P' || sign == 'S') ? 2 : 1);
      return Step::Continue;
    }
    case 'T':
      format->fcursor = tabEdit(unit, p);
      return Step::Continue;
    case 'X': {
      int32_t columns = counted ? n : 1;
      if (columns < 0) {
        formatError("field width must be > 0", p);
      } else {
        int64_t room = unit->record_end - unit->cursor;
        unit->cursor += columns < room ? columns : room;
      }
      format->fcursor = p + 1;
      return Step::Continue;
    }
    default:
      break;
  }
  if (isLetter(c)) {
    if (counted && n < 0) {
      formatError("illegal repeat const", numberStart);
      return Step::Return;  // the descriptor is read from its letter on
    }
    format->fcursor = numberStart;
    return Step::Return;
  }
  formatError("unexpected char(s) in format", p);
  format->fcursor = p + 1;
  return Step::Continue;
}

// One step of the walk at a character other than "/", "," and ":".
Step numberedEdit(Walk& walk) {
  unit_record* unit = walk.unit;
  format_state* format = unit->format;
  char* numberStart = format->fcursor;
  char* p = numberStart;
  bool negative = false;
  bool signed_ = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    signed_ = true;
    ++p;
  }
  int32_t n = 0;
  bool counted = readDigits(&p, &n);
  if (signed_ && !counted) formatError("illegal '+-' in format", numberStart);
  if (negative) n = -n;
  format->fcursor = skipBlanks(p);
  if (walk.writing && unit->fresh) clear_record(unit);
  return controlEdit(walk, numberStart, counted, n);
}

// The data edit descriptor's letter part after its repeat count; p is at the letter.
char* descriptorFields(char* p, edit_descriptor* d) {
  d->digits = -1;
  d->exponent = kDefaultExponentDigits;
  d->width = 0;
  d->code = upper(*p);
  if (!isLetter(*p)) {
    formatError("expecting letter for field descriptor", p);
    if (*p == '\0') return p;
  }
  p = skipBlanks(p + 1);
  int32_t value = 0;
  char* widthStart = p;
  bool widthGiven = readDigits(&p, &value);
  if (widthGiven) {
    d->width = value;
    if (value < 1) formatError("field width must be > 0", widthStart);
    p = skipBlanks(p);
  } else if (d->code != 'A' && d->code != 'Q') {
    formatError("expecting field width", p);
  }
  if (*p == '.') {
    p = skipBlanks(p + 1);
    if (readDigits(&p, &value)) {
      d->digits = value;
      p = skipBlanks(p);
    } else {
      formatError("expecting decimal precision", p);
    }
  }
  switch (d->code) {
    case 'A':
    case 'L':
      if (d->digits >= 0) formatError("the no. of digits can't be specified w/'A' or 'L' edit", p);
      break;
    case 'D':
    case 'E':
    case 'F':
    case 'G':
      if (d->digits < 0) formatError("missing decimal precision w/floating point edit", p);
      if ((d->code == 'E' || d->code == 'G') && upper(*p) == 'E') {
        p = skipBlanks(p + 1);
        char* exponentStart = p;
        if (!readDigits(&p, &value)) {
          formatError("expecting digit for exponent field", p);
        } else {
          d->exponent = value;
          if (value < 1) formatError("illegal exponent field width", exponentStart);
        }
      }
      break;
    case 'I':
    case 'O':
    case 'Z':
      if (d->width < 1) d->width = kUnsizedIntegerWidth;
      break;
    case 'Q':
      if (widthGiven || d->digits >= 0) {
        formatError("Q edit can't be specified w/width or precision", p);
      }
      break;
    default:
      if (isLetter(static_cast<char>(d->code))) formatError("unsupported field descriptor", p);
      break;
  }
  return p;
}

}  // namespace

extern "C" {

const char* find_format(int32_t label, const format_table_entry* table) {
  for (const format_table_entry* entry = table; entry != nullptr && entry->label != 0; ++entry) {
    if (entry->label == label) {
      f_current_format_label = label;
      return entry->text;
    }
  }
  char message[96];
  std::snprintf(message, sizeof message, "format reference wasn't found for '%ld'",
                static_cast<long>(label));
  f_error(message);
}

void init_format(int unit, const char* text) {
  repetition = DescriptorRepetition{};
  const char* first = text;
  if (first != nullptr) {
    while (isBlank(*first)) ++first;
  }
  char message[128];
  if (first == nullptr || *first == '\0') {
    std::snprintf(message, sizeof message,
                  "missing format in read/write initialization for unit %d", unit);
    f_error(message);
  }
  if (*first != '(') {
    std::snprintf(message, sizeof message, "expecting '(' for format beginning: %.20s", first);
    f_error(message);
  }
  unit_record* record = f_unit(unit);
  if (record == nullptr || record->format == nullptr) return;
  format_state* format = record->format;
  // The walk never writes through these pointers; the state's fields are not const because
  // the record buffer shares the pointer type.
  char* start = const_cast<char*>(first);
  *format = format_state{};
  format->start = start;
  format->fcursor = start + 1;
  format->reversion = start;
  format->reversion_repeat = 1;
  format->reversion_level = 0;
  format->level = 0;
  format->scale = 0;
  format->repeat[0] = 1;
  format->group[0] = start;
  format->edit_flags = (record->mode & UNIT_MODE_BLANK_ZERO) ? uint32_t{FORMAT_FLAG_BZ} : 0u;
  f_current_format_text = text;
}

void advance_format(unit_record* unit, int finishing, int writing) {
  if (repetition.remaining > 0) return;
  format_state* format = unit->format;
  if (format == nullptr || format->fcursor == nullptr) return;
  Walk walk{unit, finishing, writing};
  while (*format->fcursor != '\0') {
    format->fcursor = skipBlanks(format->fcursor);
    char c = *format->fcursor;
    if (c == '/') {
      walk.advanceRecord();
      if (statementStopped(unit)) return;
      ++format->fcursor;
    } else if (c == ',') {
      ++format->fcursor;
    } else if (c == ':') {
      if (finishing) return;
      ++format->fcursor;
    } else if (numberedEdit(walk) == Step::Return) {
      return;
    }
  }
  formatError(prematureEnd(writing), format->fcursor);
}

void next_edit_descriptor(unit_record* unit, edit_descriptor* out) {
  if (unit->iostat != 0 || unit->format == nullptr || unit->format->fcursor == nullptr) {
    *out = edit_descriptor{0, 0, -1, kDefaultExponentDigits};
    return;
  }
  if (repetition.remaining > 0) {
    --repetition.remaining;
    *out = repetition.saved;
    return;
  }
  format_state* format = unit->format;
  char* p = format->fcursor;
  int32_t count = 1;
  char* countStart = p;
  if (readDigits(&p, &count) && count < 1) formatError("repeat const. must be >= 0", countStart);
  p = skipBlanks(p);
  edit_descriptor parsed{};
  format->fcursor = descriptorFields(p, &parsed);
  repetition.saved = parsed;
  repetition.remaining = count > 0 ? count - 1 : 0;
  *out = parsed;
}

}  // extern "C"
