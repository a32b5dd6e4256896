#include "pattern/pattern.h"

#include <algorithm>
#include <bitset>
#include <cstddef>
#include <limits>
#include <span>
#include <utility>

namespace slidemill {
namespace {

constexpr int32_t kMaxGroups = 99;
constexpr int32_t kNoMatch = -1;

// A pattern without back-references explores each pair of pattern node and
// text position at most once, in a few steps, and needs no limit. With
// back-references the recordings multiply the states; such a search stops
// after kBackReferenceSteps (some 30 ms), keeping the match it found by then,
// if any, and otherwise answering "not found". Filters such as (.*)\01 on
// names of 255 bytes need half of that.
constexpr int64_t kNoStepLimit = std::numeric_limits<int64_t>::max();
constexpr int64_t kBackReferenceSteps = int64_t{1} << 17;

// The states of back-reference patterns are remembered in a hash of at most
// this many ints; forgetting costs only steps.
constexpr size_t kMaxMemoInts = size_t{1} << 22;

// What is known about a state.
constexpr int32_t kUnknown = -1;
constexpr int32_t kFailed = -2;  // explored, or failed: nothing new there

constexpr std::array<uint8_t, 256> MakeCasePartners() {
  std::array<uint8_t, 256> partner{};
  for (int b = 0; b < 256; ++b) partner[b] = static_cast<uint8_t>(b);
  for (int b = 'A'; b <= 'Z'; ++b) {
    partner[b] = static_cast<uint8_t>(b + ('a' - 'A'));
    partner[b + ('a' - 'A')] = static_cast<uint8_t>(b);
  }
  // The letter pairs of code page 437.
  constexpr std::pair<uint8_t, uint8_t> kHigh[] = {{0x80, 0x87}, {0x81, 0x9A}, {0x82, 0x90},
                                                   {0x84, 0x8E}, {0x86, 0x8F}, {0x94, 0x99},
                                                   {0xA4, 0xA5}};
  for (auto [upper, lower] : kHigh) {
    partner[upper] = lower;
    partner[lower] = upper;
  }
  return partner;
}

constexpr std::array<uint8_t, 256> kCasePartner = MakeCasePartners();

uint8_t Byte(char c) { return static_cast<uint8_t>(c); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsQuantifier(char c) { return c == '?' || c == '+' || c == '*'; }

// A set of bytes, one bit each.
using Bits = std::array<uint64_t, 4>;
void AddByte(Bits* set, uint8_t b) { (*set)[b >> 6] |= uint64_t{1} << (b & 63); }
bool HasByte(const Bits& set, uint8_t b) { return (set[b >> 6] >> (b & 63)) & 1; }

bool IsWordByte(uint8_t b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '_';
}

// The byte that a backslash and `c` stand for, where that pair is one of the
// escapes allowed both outside and inside sets (\xHH aside); -1 otherwise.
int OneByteEscape(char c) {
  switch (c) {
    case '?':
    case '+':
    case '*':
    case '.':
    case '^':
    case '$':
    case '[':
    case ']':
    case '\\':
    case '(':
    case ')':
    case '-':
    case '|': return Byte(c);
    case 'e': return 27;
    case 'f': return 12;
    case 'q': return '"';
    case 'r': return '\r';
    case 't': return '\t';
    case 'n': return '\n';
    case 'v': return 11;
    default: return -1;
  }
}

// \c anywhere turns the case rule off for literal bytes and back-references,
// also those written before it, so it has to be known before parsing.
bool HoldsCaseOff(std::string_view pattern) {
  for (size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (pattern[i] != '\\') continue;
    if (pattern[i + 1] == 'c') return true;
    ++i;
  }
  return false;
}

}  // namespace

// Reads the pattern into a tree of atoms, then lays the tree out as nodes.
class CompiledPattern::Parser {
 public:
  Parser(std::string_view pattern, CompiledPattern* out) : pattern_(pattern), out_(out) {}

  bool Parse() {
    out_->fold_case_ = !HoldsCaseOff(pattern_);
    std::vector<Element> top;
    if (pattern_.empty() || !ParseSequence(false, &top)) return false;
    // Only groups, \b, \c and \s: nothing could ever take a byte.
    if (!takes_bytes_) return false;
    out_->group_count_ = groups_;
    Emit(top);
    Add(Op::kMatch);
    MarkMeetingPoints();
    MarkLiveGroups();
    FindFirstBytes();
    return true;
  }

 private:
  struct Element;

  struct Atom {
    enum class Kind {
      kSet,
      kLineStart,
      kLineEnd,
      kWordBoundary,
      kNothing,
      kBackReference,
      kNever,
      kGroup
    };
    Kind kind = Kind::kNothing;
    int32_t arg = 0;  // set index, group number
    char quantifier = 0;
    std::vector<Element> contents;  // of a group
  };

  // One atom, or a run of atoms joined by bars.
  struct Element {
    std::vector<Atom> choices;
  };

  bool AtEnd() const { return pos_ == pattern_.size(); }
  char Peek() const { return pattern_[pos_]; }

  bool ParseSequence(bool in_group, std::vector<Element>* sequence) {
    for (;;) {
      if (AtEnd()) return !in_group;  // a group left open
      char c = Peek();
      if (c == ')') {
        ++pos_;
        return in_group;
      }
      // A bar joins the atoms beside it, whatever they are (anchors and
      // \b, \c, \s too); with no atom before it or none after it, it is
      // the byte itself.
      if (c == '|' && !sequence->empty() && pos_ + 1 < pattern_.size() &&
          pattern_[pos_ + 1] != ')') {
        ++pos_;
        Atom atom;
        if (!ParseAtom(&atom)) return false;
        sequence->back().choices.push_back(std::move(atom));
        continue;
      }
      Atom atom;
      if (!ParseAtom(&atom)) return false;
      sequence->push_back(Element{});
      sequence->back().choices.push_back(std::move(atom));
    }
  }

  // Reads one atom; the pattern goes on and its next byte is not ')'.
  bool ParseAtom(Atom* atom) {
    char c = pattern_[pos_++];
    switch (c) {
      case '(': {
        if (++groups_ > kMaxGroups) return false;
        atom->kind = Atom::Kind::kGroup;
        atom->arg = groups_;
        if (!ParseSequence(true, &atom->contents)) return false;
        // A group cannot be repeated: the pattern is invalid.
        return AtEnd() || !IsQuantifier(Peek());
      }
      case '[': {
        ByteSet set{};
        if (!ParseSet(&set)) return false;
        return TakeSet(set, atom);
      }
      case '.': {
        ByteSet set{};
        for (int b = 0; b < 256; ++b) {
          if (b != '\r') AddByte(&set, static_cast<uint8_t>(b));
        }
        return TakeSet(set, atom);
      }
      case '^':
        atom->kind = Atom::Kind::kLineStart;
        takes_bytes_ = true;
        return true;
      case '$':
        atom->kind = Atom::Kind::kLineEnd;
        takes_bytes_ = true;
        return true;
      case '\\': return ParseEscape(atom);
      default:
        // Also ?, + and * where they cannot repeat anything, and a bar that
        // has no atom before or after it: bytes, which can be repeated.
        return TakeSet(LiteralSet(Byte(c)), atom);
    }
  }

  bool ParseEscape(Atom* atom) {
    if (AtEnd()) {  // a backslash at the end
      atom->kind = Atom::Kind::kNever;
      takes_bytes_ = true;
      return true;
    }
    char c = pattern_[pos_++];
    if (IsDigit(c)) {
      takes_bytes_ = true;
      // A backslash and one digit never match; two digits name a group, and
      // only a group opened before the reference can have recorded anything.
      atom->kind = Atom::Kind::kNever;
      if (AtEnd() || !IsDigit(Peek())) return true;
      int32_t group = (c - '0') * 10 + (Peek() - '0');
      ++pos_;
      if (group >= 1 && group <= groups_) {
        atom->kind = Atom::Kind::kBackReference;
        atom->arg = group;
      }
      return true;
    }
    switch (c) {
      case 'b': atom->kind = Atom::Kind::kWordBoundary; return true;
      case 'c':
        atom->kind = Atom::Kind::kNothing;
        case_off_seen_ = true;
        return true;
      case 's':
        atom->kind = Atom::Kind::kNothing;
        out_->shortest_ = true;
        return true;
      default: break;
    }
    --pos_;
    int byte = ParseByteEscape();
    if (byte < 0) return false;
    return TakeSet(LiteralSet(static_cast<uint8_t>(byte)), atom);
  }

  // The byte of a one-byte escape whose backslash has been read, or -1; \x
  // without two hexadecimal digits is not an escape.
  int ParseByteEscape() {
    if (AtEnd()) return -1;
    char c = pattern_[pos_++];
    if (c != 'x') return OneByteEscape(c);
    if (pattern_.size() - pos_ < 2) return -1;
    int high = HexValue(pattern_[pos_]);
    int low = HexValue(pattern_[pos_ + 1]);
    if (high < 0 || low < 0) return -1;
    pos_ += 2;
    return high * 16 + low;
  }

  // Reads a set after its '['.
  bool ParseSet(ByteSet* set) {
    bool negate = false;
    if (!AtEnd() && Peek() == '^') {
      negate = true;
      ++pos_;
    }
    if (!AtEnd() && Peek() == ']') {
      ++pos_;  // an empty set
    } else {
      for (;;) {
        if (AtEnd()) return false;
        if (Peek() == ']') {
          ++pos_;
          break;
        }
        int low = ParseSetByte();
        if (low < 0) return false;
        int high = low;
        // A '-' before the closing ']' is a member, not a range; so is one
        // that has no byte before it (first, or right after a range).
        if (pattern_.size() - pos_ >= 2 && Peek() == '-' && pattern_[pos_ + 1] != ']') {
          ++pos_;
          high = ParseSetByte();
          if (high < 0) return false;
        }
        for (int b = low; b <= high; ++b) AddByte(set, static_cast<uint8_t>(b));
      }
    }
    // Only a \c written before the set keeps it to the cases given.
    if (!case_off_seen_) {
      ByteSet folded = *set;
      for (int b = 0; b < 256; ++b) {
        if (HasByte(*set, static_cast<uint8_t>(b))) AddByte(&folded, kCasePartner[b]);
      }
      *set = folded;
    }
    if (negate) {
      for (uint64_t& word : *set) word = ~word;
    }
    // The byte 0 ends a name on the system and is never a member, not even
    // of a complement.
    (*set)[0] &= ~uint64_t{1};
    return true;
  }

  int ParseSetByte() {
    char c = pattern_[pos_++];
    if (c != '\\') return Byte(c);
    return ParseByteEscape();
  }

  ByteSet LiteralSet(uint8_t b) const {
    ByteSet set{};
    AddByte(&set, b);
    if (out_->fold_case_) AddByte(&set, kCasePartner[b]);
    return set;
  }

  // Makes `atom` one byte of `set`, repeated by a quantifier that follows.
  bool TakeSet(const ByteSet& set, Atom* atom) {
    takes_bytes_ = true;
    atom->kind = Atom::Kind::kSet;
    atom->arg = static_cast<int32_t>(out_->sets_.size());
    out_->sets_.push_back(set);
    if (!AtEnd() && IsQuantifier(Peek())) atom->quantifier = pattern_[pos_++];
    return true;
  }

  int32_t Add(Op op, int32_t arg = 0) {
    int32_t index = static_cast<int32_t>(out_->nodes_.size());
    Node node;
    node.op = op;
    node.arg = arg;
    node.next = index + 1;
    node.in_alternative = alternative_depth_ > 0;
    out_->nodes_.push_back(node);
    return index;
  }

  void Emit(const std::vector<Element>& sequence) {
    for (const Element& element : sequence) {
      if (element.choices.size() == 1) {
        Emit(element.choices[0]);
        continue;
      }
      // Each alternative is its own little program, ending where the choice
      // takes the position it reached.
      int32_t count = static_cast<int32_t>(element.choices.size());
      int32_t first = static_cast<int32_t>(out_->alternatives_.size());
      int32_t choice = Add(Op::kChoice, first);
      out_->nodes_[choice].count = count;
      out_->alternatives_.resize(out_->alternatives_.size() + count);
      ++alternative_depth_;
      for (int32_t k = 0; k < count; ++k) {
        out_->alternatives_[first + k] = static_cast<int32_t>(out_->nodes_.size());
        Emit(element.choices[k]);
        Add(Op::kAlternativeEnd);
      }
      --alternative_depth_;
      int32_t after = static_cast<int32_t>(out_->nodes_.size());
      out_->nodes_[choice].next = after;
      for (int32_t k = 0; k < count; ++k) {
        int32_t end = k + 1 < count ? out_->alternatives_[first + k + 1] : after;
        out_->nodes_[end - 1].next = after;  // the alternative's end
      }
    }
  }

  void Emit(const Atom& atom) {
    switch (atom.kind) {
      case Atom::Kind::kSet:
        if (atom.quantifier == '?') {
          Add(Op::kOptional, atom.arg);
        } else if (atom.quantifier == '*') {
          Add(Op::kStar, atom.arg);
        } else {
          Add(Op::kOne, atom.arg);
          if (atom.quantifier == '+') Add(Op::kStar, atom.arg);
        }
        if (atom.quantifier != 0) out_->branches_ = true;
        return;
      case Atom::Kind::kLineStart: Add(Op::kLineStart); return;
      case Atom::Kind::kLineEnd: Add(Op::kLineEnd); return;
      case Atom::Kind::kWordBoundary: Add(Op::kWordBoundary); return;
      case Atom::Kind::kNothing: return;
      case Atom::Kind::kBackReference: Add(Op::kBackReference, atom.arg); return;
      case Atom::Kind::kNever: Add(Op::kNever); return;
      case Atom::Kind::kGroup:
        Add(Op::kOpen, atom.arg);
        Emit(atom.contents);
        Add(Op::kClose, atom.arg);
        return;
    }
  }

  // Paths part only at ? and *, and come together again after them, after a
  // choice (alternatives end at different positions), after a back-reference
  // (recordings differ in length) and at a star repeated. Every other node is
  // reached in one way only from its predecessor, which is remembered.
  void MarkMeetingPoints() {
    std::vector<Node>& nodes = out_->nodes_;
    for (Node& node : nodes) {
      switch (node.op) {
        case Op::kStar: node.remember = true; [[fallthrough]];
        case Op::kOptional:
        case Op::kChoice:
        case Op::kBackReference: nodes[node.next].remember = true; break;
        default: break;
      }
    }
    for (Node& node : nodes) {
      if (!node.remember) continue;
      node.memo_row = node.in_alternative ? out_->alternative_rows_++ : out_->outer_rows_++;
    }
  }

  // Matching never goes back to an earlier node (a star repeats itself), so
  // at node i only groups opened before i can have recorded anything, and
  // only back-references at i or later read it.
  void MarkLiveGroups() {
    using Groups = std::bitset<kMaxGroups + 1>;
    std::vector<Node>& nodes = out_->nodes_;
    std::vector<Groups> read_later(nodes.size() + 1);
    for (size_t i = nodes.size(); i-- > 0;) {
      read_later[i] = read_later[i + 1];
      if (nodes[i].op == Op::kBackReference) {
        read_later[i].set(nodes[i].arg);
        out_->back_references_ = true;
      }
    }
    Groups opened;
    for (size_t i = 0; i < nodes.size(); ++i) {
      Groups live = opened & read_later[i];
      nodes[i].live_begin = static_cast<int32_t>(out_->live_groups_.size());
      nodes[i].live_count = static_cast<int32_t>(live.count());
      for (int32_t group = 1; group <= kMaxGroups; ++group) {
        if (live.test(group)) out_->live_groups_.push_back(group);
      }
      if (nodes[i].op == Op::kOpen) opened.set(nodes[i].arg);
    }
  }

  // The bytes that a match can begin with: a search skips the other start
  // positions at once.
  void FindFirstBytes() {
    const std::vector<Node>& nodes = out_->nodes_;
    std::vector<ByteSet> first(nodes.size());
    for (size_t i = nodes.size(); i-- > 0;) {
      const Node& node = nodes[i];
      ByteSet& set = first[i];
      switch (node.op) {
        case Op::kOne: set = out_->sets_[node.arg]; break;
        case Op::kOptional:
        case Op::kStar:
          set = out_->sets_[node.arg];
          for (int w = 0; w < 4; ++w) set[w] |= first[node.next][w];
          break;
        case Op::kLineStart:
        case Op::kLineEnd:
        case Op::kWordBoundary:
        case Op::kOpen:
        case Op::kClose:
        case Op::kAlternativeEnd: set = first[node.next]; break;
        case Op::kBackReference: set.fill(~uint64_t{0}); break;
        case Op::kChoice:
          for (int32_t k = 0; k < node.count; ++k) {
            const ByteSet& alternative = first[out_->alternatives_[node.arg + k]];
            for (int w = 0; w < 4; ++w) set[w] |= alternative[w];
          }
          break;
        case Op::kNever:
        case Op::kMatch: break;  // nothing, or nothing more
      }
    }
    out_->first_bytes_ = first[0];
  }

  std::string_view pattern_;
  CompiledPattern* out_;
  size_t pos_ = 0;
  int32_t groups_ = 0;
  int32_t alternative_depth_ = 0;
  bool case_off_seen_ = false;
  // Whether anything besides groups, \b, \c and \s has been read.
  bool takes_bytes_ = false;
};

namespace {

// What a search without back-references knows about the states of its
// remembered nodes, at every position from its first start on: for a node
// outside alternatives a bit, set once the state is explored; for one inside
// an alternative an int, kUnknown, kFailed or where the alternative first
// matched from there. Nodes times positions bits at most, and 4 bytes per
// alternative node and position: for a 256-node pattern, 8 KiB on a name of
// 255 bytes, 1 MiB on a text of 32 KiB.
class NodeMemo {
 public:
  void Prepare(int32_t outer_rows, int32_t alternative_rows, int32_t first, int32_t size) {
    first_ = first;
    positions_ = static_cast<size_t>(size - first) + 1;
    explored_.assign((static_cast<size_t>(outer_rows) * positions_ + 63) / 64, 0);
    ends_.assign(static_cast<size_t>(alternative_rows) * positions_, kUnknown);
  }

  // Marks the state explored; false if it already was.
  bool Visit(int32_t row, int32_t pos) {
    size_t i = Index(row, pos);
    uint64_t& word = explored_[i >> 6];
    uint64_t bit = uint64_t{1} << (i & 63);
    if (word & bit) return false;
    word |= bit;
    return true;
  }

  int32_t& End(int32_t row, int32_t pos) { return ends_[Index(row, pos)]; }

 private:
  size_t Index(int32_t row, int32_t pos) const {
    return static_cast<size_t>(row) * positions_ + static_cast<size_t>(pos - first_);
  }

  int32_t first_ = 0;
  size_t positions_ = 0;
  std::vector<uint64_t> explored_;
  std::vector<int32_t> ends_;
};

// What is known about matching from a pattern node at a text position, with
// the recordings that can still be read from there: a key of ints, node and
// position first.
class StateMemo {
 public:
  int32_t Find(std::span<const int32_t> key) const {
    if (slots_.empty()) return kUnknown;
    uint64_t hash = Hash(key);
    for (size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      const Slot& slot = slots_[i];
      if (slot.entry == 0) return kUnknown;
      if (slot.hash == hash && Matches(slot.entry, key)) return entries_[slot.entry - 1];
    }
  }

  void Store(std::span<const int32_t> key, int32_t value) {
    // Forgetting costs only time, so a full memo stops learning.
    if (entries_.size() + key.size() + 2 > kMaxMemoInts) return;
    if ((used_ + 1) * 2 > slots_.size()) Grow();
    uint64_t hash = Hash(key);
    size_t i = hash & (slots_.size() - 1);
    for (; slots_[i].entry != 0; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i].hash == hash && Matches(slots_[i].entry, key)) {
        entries_[slots_[i].entry - 1] = value;
        return;
      }
    }
    entries_.push_back(value);
    slots_[i] = {hash, static_cast<uint32_t>(entries_.size())};
    entries_.push_back(static_cast<int32_t>(key.size()));
    entries_.insert(entries_.end(), key.begin(), key.end());
    ++used_;
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    uint32_t entry = 0;  // 0 free, else 1 + index of the entry's value
  };

  static uint64_t Hash(std::span<const int32_t> key) {
    uint64_t h = 0x9E3779B97F4A7C15u;
    for (int32_t k : key) {
      h ^= static_cast<uint32_t>(k);
      h *= 0xBF58476D1CE4E5B9u;
      h ^= h >> 31;
    }
    return h;
  }

  // Whether the entry whose length follows index `entry` holds `key`.
  bool Matches(uint32_t entry, std::span<const int32_t> key) const {
    if (entries_[entry] != static_cast<int32_t>(key.size())) return false;
    return std::equal(key.begin(), key.end(), entries_.begin() + entry + 1);
  }

  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(std::max<size_t>(64, old.size() * 2), Slot{});
    for (const Slot& slot : old) {
      if (slot.entry == 0) continue;
      size_t i = slot.hash & (slots_.size() - 1);
      while (slots_[i].entry != 0) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::vector<int32_t> entries_;  // value, key length, key
  size_t used_ = 0;
};

}  // namespace

// A backtracking matcher over the nodes, with an explicit stack so that long
// texts cannot exhaust the call stack. Where paths meet it remembers each
// explored state (node, position and the recordings still to be read): a
// state explored once has nothing new to give. That keeps a pattern without
// back-references to a few steps per node and position; a step budget bounds
// the rest.
//
// Outside alternatives every match from a state is taken (or the search
// ends) the first time the state is explored, and the nodes only go forward,
// so a state is marked explored on arrival. Inside an alternative only the
// first match counts: its states are marked when they fail, or learn where
// the alternative ended when it matches.
class CompiledPattern::Matcher {
 public:
  Matcher(const CompiledPattern& pattern, std::string_view text, int32_t start, bool memoise,
          int64_t max_steps)
      : pattern_(pattern),
        text_(text),
        size_(static_cast<int32_t>(text.size())),
        start_(start),
        skip_(memoise),
        memoise_(memoise && pattern.branches_),
        keyed_(pattern.back_references_),
        steps_left_(max_steps),
        recordings_(2 * static_cast<size_t>(pattern.group_count_ + 1), -1) {}

  // The match at the first position that has one; with `any`, the first
  // match found there rather than the longest (shortest).
  PatternMatch Run(bool any) {
    for (int32_t attempt = start_; attempt < size_; ++attempt) {
      if (skip_ && !HasByte(pattern_.first_bytes_, Byte(text_[attempt]))) continue;
      // Positions before the first start tried are never reached.
      if (memoise_ && !keyed_ && attempt_ == kNoMatch) {
        node_memo_.Prepare(pattern_.outer_rows_, pattern_.alternative_rows_, attempt, size_);
      }
      attempt_ = attempt;
      best_ = kNoMatch;
      std::fill(recordings_.begin(), recordings_.end(), -1);  // of this start only
      Explore(0, attempt, any ? Mode::kAny : Mode::kAll);
      // Out of steps, a match already found still stands.
      if (best_ != kNoMatch) return {attempt + 1, best_ - attempt};
      if (exhausted_) break;
    }
    return {};
  }

  bool exhausted() const { return exhausted_; }

 private:
  enum class Mode {
    kAny,          // the whole pattern, until its first match
    kAll,          // the whole pattern, every match
    kAlternative,  // an alternative of a choice, until it first matches
  };
  enum class Outcome { kGoOn, kFail, kSucceed, kAbort };

  struct Entry {
    int32_t node;
    int32_t pos;
    uint32_t undo;  // recordings to keep when coming back here
    uint32_t mark;  // the state (node, pos) is explored when this is popped
  };

  // Matches from node at pos; answers where the match ended, or kNoMatch.
  // Recordings made on the way stay when it succeeds.
  int32_t Explore(int32_t node, int32_t pos, Mode mode) {
    const size_t base = stack_.size();
    const size_t undo_base = undo_.size();
    for (;;) {
      switch (Step(&node, &pos, mode)) {
        case Outcome::kGoOn: break;
        case Outcome::kSucceed: return Succeed(base, pos, mode);
        case Outcome::kAbort: stack_.resize(base); return kNoMatch;
        case Outcome::kFail:
          if (!Backtrack(base, &node, &pos)) {
            UndoTo(undo_base);
            return kNoMatch;
          }
          break;
      }
    }
  }

  Outcome Step(int32_t* node_index, int32_t* pos, Mode mode) {
    if (--steps_left_ < 0) {
      exhausted_ = true;
      return Outcome::kAbort;
    }
    const Node& node = pattern_.nodes_[*node_index];
    if (memoise_ && node.remember) {
      if (!node.in_alternative) {
        if (!Visit(*node_index, *pos)) return Outcome::kFail;
      } else {
        int32_t known = Known(*node_index, *pos);
        if (known == kFailed) return Outcome::kFail;
        if (known >= 0) {  // where the alternative from here matched before
          *pos = known;
          return Outcome::kSucceed;
        }
        stack_.push_back({*node_index, *pos, static_cast<uint32_t>(undo_.size()), 1});
      }
    }
    switch (node.op) {
      case Op::kOne:
        if (!Takes(node.arg, *pos)) return Outcome::kFail;
        ++*pos;
        *node_index = node.next;
        return Outcome::kGoOn;
      case Op::kOptional:
        if (Takes(node.arg, *pos)) {
          Push(node.next, *pos);
          ++*pos;
        }
        *node_index = node.next;
        return Outcome::kGoOn;
      case Op::kStar:
        if (Takes(node.arg, *pos)) {
          Push(node.next, *pos);
          ++*pos;  // and the star again
        } else {
          *node_index = node.next;
        }
        return Outcome::kGoOn;
      case Op::kLineStart:
        if (*pos != start_ && text_[*pos - 1] != '\n') return Outcome::kFail;
        *node_index = node.next;
        return Outcome::kGoOn;
      case Op::kLineEnd:
        if (*pos != size_ &&
            !(text_[*pos] == '\r' && *pos + 1 < size_ && text_[*pos + 1] == '\n')) {
          return Outcome::kFail;
        }
        *node_index = node.next;
        return Outcome::kGoOn;
      case Op::kWordBoundary: {
        // What lies before the search start counts as a non-word byte.
        bool before = *pos > start_ && IsWordByte(Byte(text_[*pos - 1]));
        bool after = *pos < size_ && IsWordByte(Byte(text_[*pos]));
        if (before == after) return Outcome::kFail;
        *node_index = node.next;
        return Outcome::kGoOn;
      }
      case Op::kBackReference: {
        int32_t from = recordings_[2 * node.arg];
        int32_t length = recordings_[2 * node.arg + 1];
        if (length <= 0 || size_ - *pos < length) return Outcome::kFail;
        for (int32_t i = 0; i < length; ++i) {
          uint8_t a = Byte(text_[from + i]);
          uint8_t b = Byte(text_[*pos + i]);
          if (a != b && !(pattern_.fold_case_ && kCasePartner[a] == b)) return Outcome::kFail;
        }
        *pos += length;
        *node_index = node.next;
        return Outcome::kGoOn;
      }
      case Op::kOpen:
        Record(2 * node.arg, *pos);
        *node_index = node.next;
        return Outcome::kGoOn;
      case Op::kClose:
        Record(2 * node.arg + 1, *pos - recordings_[2 * node.arg]);
        *node_index = node.next;
        return Outcome::kGoOn;
      case Op::kChoice:
        // The first alternative that matches is taken for good, with the
        // first match it finds: there is no way back into the choice. One
        // that matches nothing (a*) has matched too.
        for (int32_t k = 0; k < node.count; ++k) {
          int32_t end = Explore(pattern_.alternatives_[node.arg + k], *pos, Mode::kAlternative);
          if (exhausted_) return Outcome::kAbort;
          if (end != kNoMatch) {
            *pos = end;
            *node_index = node.next;
            return Outcome::kGoOn;
          }
        }
        return Outcome::kFail;
      case Op::kNever: return Outcome::kFail;
      case Op::kAlternativeEnd: return Outcome::kSucceed;
      case Op::kMatch:
        // A match of length 0 is never accepted.
        if (*pos == attempt_) return Outcome::kFail;
        if (best_ == kNoMatch || (pattern_.shortest_ ? *pos < best_ : *pos > best_)) best_ = *pos;
        return mode == Mode::kAny ? Outcome::kSucceed : Outcome::kFail;
    }
    return Outcome::kFail;
  }

  // Goes back to the latest open branch above base; false when none is left.
  bool Backtrack(size_t base, int32_t* node, int32_t* pos) {
    while (stack_.size() > base) {
      Entry entry = stack_.back();
      stack_.pop_back();
      UndoTo(entry.undo);
      if (entry.mark) {
        Learn(entry.node, entry.pos, kFailed);
        continue;
      }
      *node = entry.node;
      *pos = entry.pos;
      return true;
    }
    return false;
  }

  int32_t Succeed(size_t base, int32_t end, Mode mode) {
    // Every state on the way to an alternative's first match leads to that
    // same match; without back-references the recordings on the way do not
    // matter, so the end alone can be remembered.
    if (mode == Mode::kAlternative && memoise_ && !pattern_.back_references_) {
      for (size_t i = base; i < stack_.size(); ++i) {
        if (stack_[i].mark) Learn(stack_[i].node, stack_[i].pos, end);
      }
    }
    stack_.resize(base);
    return end;
  }

  bool Takes(int32_t set, int32_t pos) const {
    return pos < size_ && HasByte(pattern_.sets_[set], Byte(text_[pos]));
  }

  void Push(int32_t node, int32_t pos) {
    stack_.push_back({node, pos, static_cast<uint32_t>(undo_.size()), 0});
  }

  void Record(int32_t slot, int32_t value) {
    undo_.emplace_back(slot, recordings_[slot]);
    recordings_[slot] = value;
  }

  void UndoTo(size_t size) {
    while (undo_.size() > size) {
      recordings_[undo_.back().first] = undo_.back().second;
      undo_.pop_back();
    }
  }

  // Marks a state outside alternatives explored; false if it already was.
  bool Visit(int32_t node, int32_t pos) {
    if (!keyed_) return node_memo_.Visit(pattern_.nodes_[node].memo_row, pos);
    std::span<const int32_t> key = Key(node, pos);
    if (state_memo_.Find(key) != kUnknown) return false;
    state_memo_.Store(key, kFailed);
    return true;
  }

  // For states inside alternatives.
  int32_t Known(int32_t node, int32_t pos) {
    if (!keyed_) return node_memo_.End(pattern_.nodes_[node].memo_row, pos);
    return state_memo_.Find(Key(node, pos));
  }

  void Learn(int32_t node, int32_t pos, int32_t value) {
    if (!keyed_) {
      node_memo_.End(pattern_.nodes_[node].memo_row, pos) = value;
    } else {
      state_memo_.Store(Key(node, pos), value);
    }
  }

  std::span<const int32_t> Key(int32_t node, int32_t pos) {
    key_.clear();
    key_.push_back(node);
    key_.push_back(pos);
    const Node& at = pattern_.nodes_[node];
    for (int32_t k = 0; k < at.live_count; ++k) {
      int32_t group = pattern_.live_groups_[at.live_begin + k];
      key_.push_back(recordings_[2 * group]);
      key_.push_back(recordings_[2 * group + 1]);
    }
    return key_;
  }

  const CompiledPattern& pattern_;
  std::string_view text_;
  int32_t size_;
  int32_t start_;
  bool skip_;  // start positions that first_bytes_ rules out
  bool memoise_;
  bool keyed_;  // states hold recordings: back-references
  int64_t steps_left_;
  bool exhausted_ = false;
  int32_t attempt_ = kNoMatch;  // none yet
  int32_t best_ = kNoMatch;
  // Per group: where its text starts and its length (-1: not recorded).
  std::vector<int32_t> recordings_;
  std::vector<std::pair<int32_t, int32_t>> undo_;  // slot, earlier value
  std::vector<Entry> stack_;
  std::vector<int32_t> key_;
  NodeMemo node_memo_;
  StateMemo state_memo_;
};

namespace {

// Positions are 32-bit: a longer text is searched in its first 2 GiB.
std::string_view Clamp(std::string_view text) {
  constexpr size_t kMaxText = std::numeric_limits<int32_t>::max() - 1;
  return text.size() > kMaxText ? text.substr(0, kMaxText) : text;
}

}  // namespace

CompiledPattern CompiledPattern::Compile(std::string_view pattern) {
  CompiledPattern compiled;
  Parser parser(pattern, &compiled);
  if (!parser.Parse()) return CompiledPattern();
  compiled.valid_ = true;
  return compiled;
}

PatternMatch CompiledPattern::Search(std::string_view text, int32_t start) const {
  text = Clamp(text);
  int32_t from = std::max(start, 1) - 1;
  if (!valid_ || from >= static_cast<int32_t>(text.size())) return {};
  Matcher matcher(*this, text, from, true, StepBudget());
  return matcher.Run(false);
}

bool CompiledPattern::Found(std::string_view text, int32_t start) const {
  text = Clamp(text);
  int32_t from = std::max(start, 1) - 1;
  if (!valid_ || from >= static_cast<int32_t>(text.size())) return false;
  Matcher matcher(*this, text, from, true, StepBudget());
  return matcher.Run(true).position != 0;
}

int64_t CompiledPattern::StepBudget() const {
  return back_references_ ? kBackReferenceSteps : kNoStepLimit;
}

bool CompiledPattern::SearchWithoutMemo(std::string_view text, int32_t start, int64_t max_steps,
                                        PatternMatch* match) const {
  text = Clamp(text);
  int32_t from = std::max(start, 1) - 1;
  *match = {};
  if (!valid_ || from >= static_cast<int32_t>(text.size())) return true;
  Matcher matcher(*this, text, from, false, max_steps);
  *match = matcher.Run(false);
  return !matcher.exhausted();
}

PatternMatch PatternSearch(std::string_view pattern, std::string_view text, int32_t start) {
  return CompiledPattern::Compile(pattern).Search(text, start);
}

}  // namespace slidemill
