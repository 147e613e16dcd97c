// The passes of the reference rule, computed so that each pass costs about what it removes.
//
// What a pass can touch. A reference "&#" + n + ";" holds no ";" before its last byte, so every
// copy of it ends at a ";" and begins at an "&#" after the ";" before. Cut T after every ";" into
// pieces (the last may have no ";"): the copies of a reference are exactly the pieces that end
// with it, they cannot overlap, and TextReplace's left-to-right scan finds them all. Replacing
// one turns its piece X + "&#" + n + ";" into X + c, which runs on into the next piece (c is one
// byte or none; when c is ";" the piece ends there). Nothing else in T moves: a piece changes
// only when a pass ends with it, and new "&#" can appear only where X, c and the next piece meet.
//
// Where the rule's loop is. The first "&#" of T lies in the first piece that has one, the head,
// and n runs from it to the head's ";". The loop ends when there is no head, when the head has no
// ";" (its last piece), or when its first "&#" is right before its ";". The pieces in front of the
// head have no "&#", no pass can end with them, and they are final. So the reference of a pass is
// the head from its first "&#" on, and the head is one of its copies.
//
// Finding the other copies without reading T. A piece keeps the positions of its "&#" (anchors)
// with the hash of the text from each to the piece's end; a copy of a reference of d anchors ends
// a piece exactly when that piece's d-th anchor from the end has the reference's hash and length
// and the bytes agree. Pieces are entered in a table under that hash, for depth d, when a pass of
// d anchors comes after the piece last changed (a pass of d anchors enters only the pieces changed
// since the last such pass). A pass looks its reference up, compares every hit byte by byte (so a
// hash collision cannot change the result), and replaces all true hits from right to left, so that
// each joins the already replaced piece after it, as one TextReplace over T would leave them.
//
// What it costs. A pass reads its reference, which it removes from the head: all passes together
// read at most T once more. A hit costs its reference's length, which it removes, and a constant
// for the join: a joined piece keeps its parts' hashes through one linear map for all its anchors,
// and the shorter anchor list moves into the longer (an anchor moves O(log n) times). A piece of
// the input stays a place in the input until a pass needs it as a record; taking it whole into the
// piece before it reads it once. A piece is entered once per change, and under a depth d only when
// a pass of d anchors follows, and ordinary references have one anchor. Untouched input pieces have
// a table of their own that knows which keys only one piece has: when the head has just taken such
// a piece whole, the pass need not look in it (a 16 MB field of distinct references would
// otherwise cost a memory miss per pass). The benchmark's 16 MB fields of hostile references
// (bench/text.cpp) decode in about a second.
#include "sources/reference_passes.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// --- Hashes modulo the prime 2^61 - 1 ---------------------------------------------------------

constexpr std::uint64_t kPrime = (std::uint64_t{1} << 61) - 1;

std::uint64_t Reduce(std::uint64_t x) {
  x = (x & kPrime) + (x >> 61);
  return x >= kPrime ? x - kPrime : x;
}

std::uint64_t Mul(std::uint64_t a, std::uint64_t b) {
  const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
  const std::uint64_t low = static_cast<std::uint64_t>(p) & kPrime;
  const std::uint64_t high = static_cast<std::uint64_t>(p >> 61);
  return Reduce(low + high);
}

std::uint64_t Add(std::uint64_t a, std::uint64_t b) { return Reduce(a + b); }
std::uint64_t Sub(std::uint64_t a, std::uint64_t b) { return a >= b ? a - b : a + kPrime - b; }

std::uint64_t Power(std::uint64_t base, std::uint64_t exponent) {
  std::uint64_t result = 1;
  for (; exponent != 0; exponent >>= 1) {
    if (exponent & 1) result = Mul(result, base);
    base = Mul(base, base);
  }
  return result;
}

// The base is drawn once per run, so no page can be written to collide with it; a collision
// would only cost a byte comparison anyway.
// Its powers for the usual lengths are kept in tables.
struct Base {
  static constexpr std::size_t kTabled = 4096;
  std::uint64_t b, inverse;
  std::vector<std::uint64_t> powers, inversePowers;

  // B^length and B^-length.
  std::pair<std::uint64_t, std::uint64_t> PowersOf(std::int64_t length) const {
    const auto n = static_cast<std::uint64_t>(length);
    if (n < kTabled) return {powers[n], inversePowers[n]};
    return {Power(b, n), Power(inverse, n)};
  }
};
const Base& HashBase() {
  static const Base base = [] {
    std::random_device random;
    Base made;
    made.b = ((std::uint64_t{random()} << 32) ^ random()) % (kPrime - 1024) + 512;
    made.inverse = Power(made.b, kPrime - 2);
    made.powers.resize(Base::kTabled);
    made.inversePowers.resize(Base::kTabled);
    made.powers[0] = made.inversePowers[0] = 1;
    for (std::size_t i = 1; i < Base::kTabled; ++i) {
      made.powers[i] = Mul(made.powers[i - 1], made.b);
      made.inversePowers[i] = Mul(made.inversePowers[i - 1], made.inverse);
    }
    return made;
  }();
  return base;
}

std::uint64_t ByteValue(unsigned char c) { return std::uint64_t{c} + 1; }

// A hash of a text, with B^length and B^-length, so that texts can be joined by arithmetic:
// hash(u + v) = hash(u) * B^|v| + hash(v).
struct Span {
  std::uint64_t hash = 0, power = 1, inversePower = 1;
  std::int64_t length = 0;
};

Span HashOf(std::string_view s) {
  const Base& base = HashBase();
  Span span;
  for (const char ch : s) span.hash = Add(Mul(span.hash, base.b), ByteValue(static_cast<unsigned char>(ch)));
  span.length = static_cast<std::int64_t>(s.size());
  std::tie(span.power, span.inversePower) = base.PowersOf(span.length);
  return span;
}

// --- Anchors --------------------------------------------------------------------------------

// An "&#" of a piece: the length of the text from it to the piece's end, and that text's hash.
struct Anchor {
  std::int64_t length;
  std::uint64_t hash;
};

// A piece's anchors are stored through a linear map, so that a change at the piece's end updates
// all of them at once: real hash = scale * stored + shift, real length = stored + offset.
struct Frame {
  std::uint64_t scale = 1, inverseScale = 1, shift = 0;
  std::int64_t offset = 0;

  Anchor Real(const Anchor& stored) const {
    return {stored.length + offset, Add(Mul(scale, stored.hash), shift)};
  }
  Anchor Stored(const Anchor& real) const {
    return {real.length - offset, Mul(Sub(real.hash, shift), inverseScale)};
  }
};

// Anchors in text order, with room to grow at both ends.
class AnchorList {
 public:
  std::size_t size() const { return items_.size() - begin_; }
  bool empty() const { return size() == 0; }
  const Anchor& operator[](std::size_t i) const { return items_[begin_ + i]; }
  void PushBack(const Anchor& a) { items_.push_back(a); }
  void PopBack() { items_.pop_back(); }
  void PushFront(const Anchor& a) {
    if (begin_ == 0) {
      const std::size_t room = std::max<std::size_t>(size(), 4);
      std::vector<Anchor> grown(room + size());
      std::copy(items_.begin(), items_.end(), grown.begin() + static_cast<std::ptrdiff_t>(room));
      items_.swap(grown);
      begin_ = room;
    }
    items_[--begin_] = a;
  }

 private:
  std::vector<Anchor> items_;
  std::size_t begin_ = 0;
};

// --- Pieces of T ------------------------------------------------------------------------------

// A run of bytes that stands in a piece: a part of the input, or decoded bytes.
struct Run {
  const char* bytes;
  std::int64_t length;
  std::int32_t previous, next;
};

struct Piece {
  std::int32_t firstRun = -1, lastRun = -1;
  Span text;                 // the whole piece
  AnchorList anchors;
  Frame frame;
  std::int64_t gapBegin = 0, gapEnd = 0;  // input after it that has no "&#", up to the next piece
  std::int32_t next = -1;    // the next piece with anchors (or once with them), in text order
  std::int32_t end = -1;     // the identity of its end: kept when it is joined to the piece before
  std::uint32_t version = 0;
  std::uint32_t hitInPass = 0;
  bool terminated = false;   // ends with ";"
  bool listed = false;       // its current version is listed for the table (see AddVersion)
};

// What a joined piece takes from the piece after it.
struct Follower {
  std::int32_t firstRun = -1, lastRun = -1;
  Span text;
  AnchorList anchors;
  Frame frame;
  std::int32_t end = -1;
  int firstByte = -1;
  bool terminated = false;
  std::int32_t readFrom = -1;  // the untouched piece it was read from
};

// Ends registered under (hash, length) of one of their candidate references. A slot keeps its key
// and its first end; more ends under the same key go to a list.
class Table {
 public:
  static std::uint64_t Key(const Anchor& a) {
    std::uint64_t key = a.hash ^ (static_cast<std::uint64_t>(a.length) * 0x9E3779B97F4A7C15ull);
    key ^= key >> 33;
    key *= 0xFF51AFD7ED558CCDull;
    key ^= key >> 33;
    return key;
  }

  void Reserve(std::size_t keys) {
    const std::size_t size = std::max<std::size_t>(keys + keys / 2, 1024);
    if (size > slots_.size()) Rehash(size);
  }

  // Answers an end already under the key, or -1.
  std::int32_t Add(std::uint64_t key, std::int32_t end) {
    if ((used_ + 1) * 4 > slots_.size() * 3) Rehash(std::max<std::size_t>(slots_.size() * 2, 1024));
    Slot& slot = Find(key);
    const std::int32_t before = slot.end;
    if (!slot.used) {
      slot.key = key;
      slot.used = true;
      ++used_;
    }
    if (slot.end < 0) {
      slot.end = end;
    } else {
      more_.push_back(Entry{end, slot.more});
      slot.more = static_cast<std::int32_t>(more_.size() - 1);
    }
    return before;
  }

  // The table is far larger than a cache: its slots are asked for ahead of their use.
  void Prefetch(std::uint64_t key) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[Home(key)]);
  }

  // Adds all; shared(end) is called for every end entered under a key that already had one.
  template <typename Shared>
  void AddAll(const std::vector<std::pair<std::uint64_t, std::int32_t>>& adds, Shared shared) {
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = 0; i < adds.size(); ++i) {
      if (i + kAhead < adds.size()) Prefetch(adds[i + kAhead].first);
      const std::int32_t before = Add(adds[i].first, adds[i].second);
      if (before >= 0) {
        shared(before);
        shared(adds[i].second);
      }
    }
  }

  // Calls keep(end) for every end under key; drops the ends for which it answers false.
  template <typename Keep>
  void Visit(std::uint64_t key, Keep keep) {
    if (slots_.empty()) return;
    Slot& slot = Find(key);
    if (!slot.used) return;
    std::int32_t kept = -1;
    for (std::int32_t e = slot.more; e >= 0;) {
      const std::int32_t after = more_[e].next;
      if (keep(more_[e].end)) {
        more_[e].next = kept;
        kept = e;
      }
      e = after;
    }
    slot.more = kept;
    if (slot.end >= 0 && !keep(slot.end)) slot.end = -1;
    if (slot.end < 0 && slot.more >= 0) {
      slot.end = more_[slot.more].end;
      slot.more = more_[slot.more].next;
    }
  }

 private:
  struct Slot {
    std::uint64_t key = 0;
    std::int32_t end = -1;
    std::int32_t more : 31 = -1;
    bool used : 1 = false;
  };
  struct Entry {
    std::int32_t end, next;
  };

  std::size_t Home(std::uint64_t key) const {
    return static_cast<std::size_t>((static_cast<unsigned __int128>(key) * slots_.size()) >> 64);
  }
  Slot& Find(std::uint64_t key) {
    for (std::size_t i = Home(key);; i = i + 1 == slots_.size() ? 0 : i + 1)
      if (!slots_[i].used || slots_[i].key == key) return slots_[i];
  }
  void Rehash(std::size_t size) {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(size, Slot{});
    for (const Slot& slot : old)
      if (slot.used) Find(slot.key) = slot;
  }

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
  std::vector<Entry> more_;
};

// The pieces that have an "&#" are numbered in text order when the text is cut; a piece is kept
// as its place in the input until a pass first touches it (most are never touched but to be
// taken whole into the piece before them).
class ReferencePasses {
 public:
  explicit ReferencePasses(std::string_view text) : text_(text) {}

  Text Decode() {
    Split();
    std::int32_t& head = head_;
    head = count_ > 0 ? 0 : -1;
    for (;;) {
      while (head >= 0 && AnchorCount(head) == 0) head = NextOf(head);
      if (head < 0 || !Terminated(head)) break;
      Piece& h = Touch(head);
      const Anchor first = h.frame.Real(h.anchors[0]);
      if (first.length == 3) break;  // "&#;": the first "&#" starts no reference
      Pass(head, first, h.anchors.size());
    }
    return Join();
  }

 private:
  static constexpr std::int32_t kUntouched = -1, kTaken = -2;

  // --- The input cut into pieces ---------------------------------------------------------------

  // Every ";"-ended stretch of the input (and the rest after the last ";") that holds an "&#".
  void Split() {
    const std::size_t n = text_.size();
    for (std::size_t p = text_.find("&#"); p != std::string_view::npos;) {
      const std::size_t before = text_.rfind(';', p);
      const std::size_t begin = before == std::string_view::npos ? 0 : before + 1;
      const std::size_t semicolon = text_.find(';', p);
      const std::size_t end = semicolon == std::string_view::npos ? n : semicolon + 1;
      std::uint32_t anchors = 0;
      for (; p != std::string_view::npos && p + 1 < end; p = text_.find("&#", p + 2)) ++anchors;
      spans_.push_back(InputSpan{static_cast<std::int64_t>(begin), static_cast<std::int64_t>(end), anchors});
    }
    count_ = static_cast<std::int32_t>(spans_.size());
    state_.assign(spans_.size(), kUntouched);
    endOwner_.resize(spans_.size());
    for (std::int32_t i = 0; i < count_; ++i) endOwner_[i] = i;
    std::size_t listed = 0;
    for (std::int32_t i = 0; i < count_; ++i) listed += InputListed(i) ? 1 : 0;
    inputTable_.Reserve(listed);
    inputKey_.assign(spans_.size(), kNotEntered);
    classes_[0].refs.reserve(listed + 16);
    for (std::int32_t i = 0; i < count_; ++i) AddVersion(i);
  }

  bool Untouched(std::int32_t id) const { return state_[id] == kUntouched; }
  Piece& PieceOf(std::int32_t id) { return pieces_[state_[id]]; }
  const Piece& PieceOf(std::int32_t id) const { return pieces_[state_[id]]; }

  std::size_t AnchorCount(std::int32_t id) const {
    return Untouched(id) ? spans_[id].anchors : PieceOf(id).anchors.size();
  }
  bool Terminated(std::int32_t id) const {
    return Untouched(id) ? text_[spans_[id].end - 1] == ';' : PieceOf(id).terminated;
  }
  std::int32_t NextOf(std::int32_t id) const {
    if (!Untouched(id)) return PieceOf(id).next;
    return id + 1 < count_ ? id + 1 : -1;
  }
  std::uint32_t VersionOf(std::int32_t id) const {
    if (state_[id] == kTaken) return ~std::uint32_t{0};
    return Untouched(id) ? 0 : PieceOf(id).version;
  }
  // The input after a piece that has no "&#", up to the next piece.
  std::pair<std::int64_t, std::int64_t> GapOf(std::int32_t id) const {
    if (!Untouched(id)) return {PieceOf(id).gapBegin, PieceOf(id).gapEnd};
    const std::int64_t end = id + 1 < count_ ? spans_[id + 1].begin : static_cast<std::int64_t>(text_.size());
    return {spans_[id].end, end};
  }

  // A piece's bytes, hash and anchors read from the input.
  Follower Read(std::int32_t id) {
    const InputSpan& span = spans_[id];
    Follower f;
    const std::string_view bytes = text_.substr(static_cast<std::size_t>(span.begin),
                                                static_cast<std::size_t>(span.end - span.begin));
    // Hashes of the text in front of every anchor, then of the text after it by difference.
    const Base& base = HashBase();
    std::uint64_t hash = 0;
    found_.clear();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '&' && i + 1 < bytes.size() && bytes[i + 1] == '#')
        found_.push_back(Anchor{static_cast<std::int64_t>(bytes.size() - i), hash});
      hash = Add(Mul(hash, base.b), ByteValue(static_cast<unsigned char>(bytes[i])));
    }
    for (const Anchor& front : found_)
      f.anchors.PushBack(
          Anchor{front.length, Sub(hash, Mul(front.hash, base.PowersOf(front.length).first))});
    f.text = Span{hash, 1, 1, static_cast<std::int64_t>(bytes.size())};
    std::tie(f.text.power, f.text.inversePower) = base.PowersOf(f.text.length);
    f.firstRun = f.lastRun = NewRun(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    f.firstByte = static_cast<unsigned char>(bytes[0]);
    f.terminated = bytes.back() == ';';
    f.end = id;
    return f;
  }

  // The piece as a changeable record, made from the input on first use.
  Piece& Touch(std::int32_t id) {
    if (!Untouched(id)) return PieceOf(id);
    Follower f = Read(id);
    const auto [gapBegin, gapEnd] = GapOf(id);
    pieces_.emplace_back();
    Piece& piece = pieces_.back();
    piece.firstRun = f.firstRun;
    piece.lastRun = f.lastRun;
    piece.text = f.text;
    piece.anchors = std::move(f.anchors);
    piece.terminated = f.terminated;
    piece.listed = InputListed(id);
    piece.end = id;
    piece.next = id + 1 < count_ ? id + 1 : -1;
    piece.gapBegin = gapBegin;
    piece.gapEnd = gapEnd;
    state_[id] = static_cast<std::int32_t>(pieces_.size() - 1);
    return piece;
  }

  std::int32_t NewRun(const char* bytes, std::int64_t length) {
    if (!freeRuns_.empty()) {
      const std::int32_t r = freeRuns_.back();
      freeRuns_.pop_back();
      runs_[r] = Run{bytes, length, -1, -1};
      return r;
    }
    runs_.push_back(Run{bytes, length, -1, -1});
    return static_cast<std::int32_t>(runs_.size() - 1);
  }

  std::int32_t NewEnd(std::int32_t owner) {
    endOwner_.push_back(owner);
    return static_cast<std::int32_t>(endOwner_.size() - 1);
  }

  // --- One pass ---------------------------------------------------------------------------------

  void Pass(std::int32_t head, const Anchor& reference, std::size_t depth) {
    ++pass_;
    const std::uint64_t key = Table::Key(reference);
    // The head's reference is the whole of an input piece it just took, whose key no other input
    // piece has: the input table holds nothing else under it, and is not asked.
    const bool askInput = !(headFrom_.first == head && headFrom_.second >= 0 &&
                            inputKey_[headFrom_.second] == kUniqueKey);
    if (askInput) inputTable_.Prefetch(key);

    reference_.resize(static_cast<std::size_t>(reference.length));
    CopyEnd(PieceOf(head), reference_);
    referenceSpan_ = Span{reference.hash, 1, 1, reference.length};
    std::tie(referenceSpan_.power, referenceSpan_.inversePower) =
        HashBase().PowersOf(reference.length);
    const std::int64_t value = TextValue(std::string_view(reference_).substr(2, reference_.size() - 3));
    const int code = static_cast<int>(static_cast<std::uint64_t>(value) & 0xFF);

    RegisterDepth(depth, head);
    hits_.clear();
    Consider(head, depth, reference);
    const auto keep = [&](std::int32_t end) {
      const std::int32_t owner = endOwner_[end];
      if (owner < 0 || state_[owner] == kTaken) return false;
      if (!Untouched(owner) && PieceOf(owner).hitInPass == pass_) return false;
      return !Consider(owner, depth, reference);  // kept only when the bytes differ
    };
    if (askInput) inputTable_.Visit(key, keep);
    table_.Visit(key, keep);
    headFrom_ = {-1, -1};
    // Right to left, so that a piece joins the already replaced piece after it.
    std::sort(hits_.begin(), hits_.end(), std::greater<>());
    for (const std::int32_t id : hits_) Replace(id, depth, code);
  }

  // Whether the piece ends with the pass's reference; a hit is noted for replacement.
  bool Consider(std::int32_t id, std::size_t depth, const Anchor& reference) {
    if (state_[id] == kTaken || !Terminated(id) || AnchorCount(id) < depth) return false;
    Piece& piece = Touch(id);
    if (piece.hitInPass == pass_) return false;
    const std::size_t count = piece.anchors.size();
    const Anchor candidate = piece.frame.Real(piece.anchors[count - depth]);
    if (candidate.length != reference.length || candidate.hash != reference.hash) return false;
    if (!EndsWith(piece, reference_)) return false;
    piece.hitInPass = pass_;
    hits_.push_back(id);
    return true;
  }

  // The piece's copy of the reference becomes the decoded byte, and the piece runs on into the one
  // after it (unless that byte is ";").
  void Replace(std::int32_t id, std::size_t depth, int code) {
    const Base& base = HashBase();
    EndVersion(id);
    Piece& piece = PieceOf(id);
    const Span& ref = referenceSpan_;
    for (std::size_t i = 0; i < depth; ++i) piece.anchors.PopBack();
    DropEnd(piece, ref.length);
    // The text X in front of the reference.
    const Span front{Mul(Sub(piece.text.hash, ref.hash), ref.inversePower),
                     Mul(piece.text.power, ref.inversePower),
                     Mul(piece.text.inversePower, ref.power), piece.text.length - ref.length};
    const int frontLast = LastByte(piece);

    Follower follower;
    if (code == ';') {
      follower.terminated = true;
    } else {
      follower = TakeNext(piece);
    }
    // c + the follower, and the map from a suffix hash of X to the same suffix followed by them.
    Span tail = follower.text;
    if (code != 0) {
      tail.hash = Add(Mul(ByteValue(static_cast<unsigned char>(code)), follower.text.power),
                      follower.text.hash);
      tail.power = Mul(follower.text.power, base.b);
      tail.inversePower = Mul(follower.text.inversePower, base.inverse);
      tail.length += 1;
    }
    const std::uint64_t scale = Mul(ref.inversePower, tail.power);
    const std::uint64_t inverseScale = Mul(ref.power, tail.inversePower);
    const std::uint64_t shift = Sub(tail.hash, Mul(scale, ref.hash));
    Frame moved = piece.frame;
    moved.scale = Mul(scale, moved.scale);
    moved.inverseScale = Mul(moved.inverseScale, inverseScale);
    moved.shift = Add(Mul(scale, moved.shift), shift);
    moved.offset += tail.length - ref.length;

    // An "&#" made where X, c and the follower meet.
    bool joined = false;
    Anchor junction{};
    const std::uint64_t amp = ByteValue('&');
    if (code == '#' && frontLast == '&') {
      joined = true;
      junction = {2 + follower.text.length,
                  Add(Mul(Add(Mul(amp, base.b), ByteValue('#')), follower.text.power),
                      follower.text.hash)};
    } else if ((code == '&' || (code == 0 && frontLast == '&')) && follower.firstByte == '#') {
      joined = true;
      junction = {1 + follower.text.length,
                  Add(Mul(amp, follower.text.power), follower.text.hash)};
    }

    if (piece.anchors.size() >= follower.anchors.size()) {
      piece.frame = moved;
      if (joined) piece.anchors.PushBack(piece.frame.Stored(junction));
      for (std::size_t i = 0; i < follower.anchors.size(); ++i)
        piece.anchors.PushBack(piece.frame.Stored(follower.frame.Real(follower.anchors[i])));
    } else {
      if (joined) follower.anchors.PushFront(follower.frame.Stored(junction));
      for (std::size_t i = piece.anchors.size(); i-- > 0;)
        follower.anchors.PushFront(follower.frame.Stored(moved.Real(piece.anchors[i])));
      piece.anchors = std::move(follower.anchors);
      piece.frame = follower.frame;
    }

    if (code != 0) AppendByte(piece, static_cast<char>(code));
    if (follower.firstRun >= 0) {
      if (piece.lastRun < 0) {
        piece.firstRun = follower.firstRun;
      } else {
        runs_[piece.lastRun].next = follower.firstRun;
        runs_[follower.firstRun].previous = piece.lastRun;
      }
      piece.lastRun = follower.lastRun;
    }
    piece.text = Span{Add(Mul(front.hash, tail.power), tail.hash), Mul(front.power, tail.power),
                      Mul(front.inversePower, tail.inversePower), front.length + tail.length};
    if (id == head_ && follower.readFrom >= 0 && !joined &&
        piece.anchors.size() == spans_[follower.readFrom].anchors)
      headFrom_ = {id, follower.readFrom};
    piece.terminated = follower.terminated;
    endOwner_[piece.end] = -1;
    piece.end = follower.end >= 0 ? follower.end : NewEnd(id);
    endOwner_[piece.end] = id;
    AddVersion(id);
  }

  // The piece after this one: the next ";"-ended stretch of its gap, or the next piece with
  // anchors, or the empty rest of the text.
  Follower TakeNext(Piece& piece) {
    Follower f;
    if (piece.gapBegin < piece.gapEnd) {
      const std::size_t begin = static_cast<std::size_t>(piece.gapBegin);
      const std::size_t gapEnd = static_cast<std::size_t>(piece.gapEnd);
      const std::size_t semicolon = text_.find(';', begin);
      const bool found = semicolon != std::string_view::npos && semicolon < gapEnd;
      const std::size_t end = found ? semicolon + 1 : gapEnd;
      const std::string_view bytes = text_.substr(begin, end - begin);
      f.text = HashOf(bytes);
      f.firstRun = f.lastRun = NewRun(bytes.data(), static_cast<std::int64_t>(bytes.size()));
      f.firstByte = static_cast<unsigned char>(bytes[0]);
      f.terminated = found;
      piece.gapBegin = static_cast<std::int64_t>(end);
      return f;
    }
    const std::int32_t nextId = piece.next;
    if (nextId < 0) return f;  // the text ended with this piece's ";"
    EndVersion(nextId);
    const auto [gapBegin, gapEnd] = GapOf(nextId);
    const std::int32_t after = NextOf(nextId);
    if (Untouched(nextId)) {
      f = Read(nextId);
      f.readFrom = nextId;
    } else {
      Piece& next = PieceOf(nextId);
      f.firstRun = next.firstRun;
      f.lastRun = next.lastRun;
      f.text = next.text;
      f.anchors = std::move(next.anchors);
      f.frame = next.frame;
      f.end = next.end;
      f.terminated = next.terminated;
      f.firstByte = next.firstRun >= 0 ? static_cast<unsigned char>(runs_[next.firstRun].bytes[0]) : -1;
    }
    state_[nextId] = kTaken;
    piece.next = after;
    piece.gapBegin = gapBegin;
    piece.gapEnd = gapEnd;
    return f;
  }

  // --- Bytes at a piece's end -----------------------------------------------------------------

  void CopyEnd(const Piece& piece, Text& out) const {
    std::size_t left = out.size();
    for (std::int32_t r = piece.lastRun; left > 0; r = runs_[r].previous) {
      const Run& run = runs_[r];
      const std::size_t take = std::min<std::size_t>(left, static_cast<std::size_t>(run.length));
      std::copy(run.bytes + run.length - static_cast<std::int64_t>(take), run.bytes + run.length,
                out.begin() + static_cast<std::ptrdiff_t>(left - take));
      left -= take;
    }
  }

  bool EndsWith(const Piece& piece, std::string_view what) const {
    std::size_t left = what.size();
    for (std::int32_t r = piece.lastRun; left > 0; r = runs_[r].previous) {
      if (r < 0) return false;
      const Run& run = runs_[r];
      const std::size_t take = std::min<std::size_t>(left, static_cast<std::size_t>(run.length));
      if (std::string_view(run.bytes + run.length - static_cast<std::int64_t>(take), take) !=
          what.substr(left - take, take))
        return false;
      left -= take;
    }
    return true;
  }

  void DropEnd(Piece& piece, std::int64_t length) {
    while (length > 0) {
      Run& run = runs_[piece.lastRun];
      if (run.length > length) {
        run.length -= length;
        return;
      }
      length -= run.length;
      freeRuns_.push_back(piece.lastRun);
      if (piece.lastRun == arenaRun_) arenaRun_ = -1;
      piece.lastRun = run.previous;
      if (piece.lastRun >= 0)
        runs_[piece.lastRun].next = -1;
      else
        piece.firstRun = -1;
    }
  }

  int LastByte(const Piece& piece) const {
    if (piece.lastRun < 0) return -1;
    const Run& run = runs_[piece.lastRun];
    return static_cast<unsigned char>(run.bytes[run.length - 1]);
  }

  // Decoded bytes go to blocks of their own; a piece that grows by one byte after another (the
  // head, pass after pass) keeps them in one run.
  void AppendByte(Piece& piece, char byte) {
    if (piece.lastRun >= 0 && piece.lastRun == arenaRun_ && arenaNext_ < arenaEnd_ &&
        runs_[arenaRun_].bytes + runs_[arenaRun_].length == arenaNext_) {
      *arenaNext_++ = byte;
      ++runs_[arenaRun_].length;
      return;
    }
    if (arenaNext_ == arenaEnd_) {
      constexpr std::size_t kBlock = 1 << 16;
      arena_.push_back(std::make_unique<char[]>(kBlock));
      arenaNext_ = arena_.back().get();
      arenaEnd_ = arenaNext_ + kBlock;
    }
    *arenaNext_ = byte;
    arenaRun_ = NewRun(arenaNext_++, 1);
    AppendRun(piece, arenaRun_);
  }

  void AppendRun(Piece& piece, std::int32_t run) {
    if (piece.lastRun < 0) {
      piece.firstRun = run;
    } else {
      runs_[piece.lastRun].next = run;
      runs_[run].previous = piece.lastRun;
    }
    piece.lastRun = run;
  }

  // --- Which pieces are entered in the table, and under which depth ----------------------------

  // A version is a piece between two changes. Versions of at least 2^k anchors are listed in
  // class k; a pass of d anchors enters, from class floor(log2 d), the versions listed since the
  // last pass of d anchors that are still current and have d anchors or more.
  struct VersionRef {
    std::int32_t piece;
    std::uint32_t version;
  };
  struct VersionClass {
    std::vector<VersionRef> refs;
    std::size_t ended = 0;
    std::vector<std::size_t> depths;  // the depths whose cursors point into refs
  };

  static int ClassOf(std::size_t n) { return std::bit_width(n) - 1; }

  // A piece is listed when it has anchors and a ";" at its end, except the head: every pass ends
  // the head's version, so no later pass can find it.
  void AddVersion(std::int32_t id) {
    const std::size_t count = AnchorCount(id);
    const bool listed =
        Untouched(id) ? InputListed(id) : count > 0 && Terminated(id) && id != head_;
    if (!Untouched(id)) PieceOf(id).listed = listed;
    if (!listed) return;
    for (int k = 0; k <= ClassOf(count); ++k)
      classes_[k].refs.push_back(VersionRef{id, VersionOf(id)});
  }

  // An input piece whose only "&#" is right before its ";" ("&#;" spam) can end with no reference
  // any pass has, and is not listed.
  bool InputListed(std::int32_t id) const {
    const InputSpan& span = spans_[id];
    if (span.anchors == 0 || text_[span.end - 1] != ';') return false;
    const bool onlyEmpty = span.anchors == 1 && span.end - span.begin >= 3 &&
                           text_.substr(static_cast<std::size_t>(span.end - 3), 3) == "&#;";
    return !onlyEmpty;
  }

  // Called before the piece changes or is taken into the one before it.
  void EndVersion(std::int32_t id) {
    const std::size_t count = AnchorCount(id);
    const bool listed = Untouched(id) ? InputListed(id) : PieceOf(id).listed;
    if (!Untouched(id)) ++PieceOf(id).version;  // an untouched piece ends only by being taken
    if (!listed) return;
    for (int k = 0; k <= ClassOf(count); ++k) {
      VersionClass& c = classes_[k];
      if (++c.ended > c.refs.size() / 2 && c.refs.size() > 64) Compact(c);
    }
  }

  void Compact(VersionClass& c) {
    std::vector<std::size_t> newIndex(c.refs.size() + 1);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < c.refs.size(); ++i) {
      newIndex[i] = kept;
      const VersionRef ref = c.refs[i];
      if (VersionOf(ref.piece) == ref.version) c.refs[kept++] = ref;
    }
    newIndex[c.refs.size()] = kept;
    c.refs.resize(kept);
    c.ended = 0;
    for (const std::size_t depth : c.depths) cursors_[depth] = newIndex[cursors_[depth]];
  }

  // The head is left out: this pass ends its current version.
  void RegisterDepth(std::size_t depth, std::int32_t head) {
    VersionClass& c = classes_[ClassOf(depth)];
    const auto [it, isNew] = cursors_.try_emplace(depth, 0);
    if (isNew) c.depths.push_back(depth);
    for (std::size_t i = it->second; i < c.refs.size(); ++i) {
      const VersionRef ref = c.refs[i];
      if (ref.piece == head || VersionOf(ref.piece) != ref.version ||
          AnchorCount(ref.piece) < depth)
        continue;
      // A piece with few anchors is read from the input, so it is not made into a record.
      // "&#;" is never a pass's reference, so a piece ending with it is not entered for depth 1.
      if (Untouched(ref.piece) && AnchorCount(ref.piece) <= kReadAnchors) {
        const Anchor candidate = CandidateOf(ref.piece, depth);
        if (candidate.length > 3) inputAdds_.emplace_back(Table::Key(candidate), ref.piece);
      } else {
        const Piece& piece = Touch(ref.piece);
        const Anchor candidate = piece.frame.Real(piece.anchors[piece.anchors.size() - depth]);
        if (candidate.length > 3) adds_.emplace_back(Table::Key(candidate), piece.end);
      }
      if (adds_.size() + inputAdds_.size() >= kAddBatch) EnterAdds(depth);
    }
    it->second = c.refs.size();
    EnterAdds(depth);
  }

  // Untouched input pieces are entered for a depth all together, in the first pass of that many
  // anchors, into a table of their own; for its whole reference (all its anchors), a piece notes
  // whether another input piece was entered under the same key.
  void EnterAdds(std::size_t depth) {
    table_.AddAll(adds_, [](std::int32_t) {});
    adds_.clear();
    const auto whole = [&](std::int32_t id) { return spans_[id].anchors == depth; };
    for (const auto& [key, id] : inputAdds_)
      if (whole(id)) inputKey_[id] = kUniqueKey;
    inputTable_.AddAll(inputAdds_, [&](std::int32_t id) {
      if (whole(id)) inputKey_[id] = kSharedKey;
    });
    inputAdds_.clear();
  }

  // The text from the depth-th "&#" from the end of an untouched piece to its end.
  static constexpr std::size_t kReadAnchors = 4;
  static constexpr std::size_t kAddBatch = 4096;
  Anchor CandidateOf(std::int32_t id, std::size_t depth) const {
    const InputSpan& span = spans_[id];
    const Base& base = HashBase();
    std::uint64_t hash = 0, power = 1;
    for (std::int64_t i = span.end - 1; i >= span.begin; --i) {
      hash = Add(Mul(ByteValue(static_cast<unsigned char>(text_[i])), power), hash);
      power = Mul(power, base.b);
      if (text_[i] == '&' && i + 1 < span.end && text_[i + 1] == '#' && --depth == 0)
        return Anchor{span.end - i, hash};
    }
    return Anchor{0, 0};
  }

  // --- The result -----------------------------------------------------------------------------

  Text Join() const {
    Text out;
    out.reserve(text_.size());
    out.append(text_.substr(0, count_ > 0 ? static_cast<std::size_t>(spans_[0].begin) : text_.size()));
    for (std::int32_t id = count_ > 0 ? 0 : -1; id >= 0; id = NextOf(id)) {
      if (Untouched(id)) {
        out.append(text_.substr(static_cast<std::size_t>(spans_[id].begin),
                                static_cast<std::size_t>(spans_[id].end - spans_[id].begin)));
      } else {
        for (std::int32_t r = PieceOf(id).firstRun; r >= 0; r = runs_[r].next)
          out.append(runs_[r].bytes, static_cast<std::size_t>(runs_[r].length));
      }
      const auto [gapBegin, gapEnd] = GapOf(id);
      out.append(text_.substr(static_cast<std::size_t>(gapBegin),
                              static_cast<std::size_t>(gapEnd - gapBegin)));
    }
    return out;
  }

  struct InputSpan {
    std::int64_t begin, end;
    std::uint32_t anchors;
  };

  std::string_view text_;
  std::vector<InputSpan> spans_;
  std::vector<std::int32_t> state_;  // index in pieces_, kUntouched or kTaken

  std::int32_t count_ = 0;
  std::vector<Piece> pieces_;
  std::vector<Run> runs_;
  std::vector<std::int32_t> endOwner_;
  Table table_;       // pieces entered after they were touched
  Table inputTable_;  // untouched input pieces
  static constexpr std::uint8_t kNotEntered = 0, kUniqueKey = 1, kSharedKey = 2;
  std::vector<std::uint8_t> inputKey_;
  std::pair<std::int32_t, std::int32_t> headFrom_{-1, -1};  // (head, input piece it took last)
  std::vector<std::pair<std::uint64_t, std::int32_t>> inputAdds_;
  VersionClass classes_[64];
  std::unordered_map<std::size_t, std::size_t> cursors_;
  std::uint32_t pass_ = 0;
  Text reference_;
  Span referenceSpan_;
  std::vector<std::int32_t> hits_;
  std::vector<Anchor> found_;
  std::vector<std::int32_t> freeRuns_;
  std::vector<std::pair<std::uint64_t, std::int32_t>> adds_;
  std::int32_t head_ = -1;
  std::vector<std::unique_ptr<char[]>> arena_;
  char* arenaNext_ = nullptr;
  char* arenaEnd_ = nullptr;
  std::int32_t arenaRun_ = -1;
};

}  // namespace

Text DecodeReferencePasses(std::string_view text) { return ReferencePasses(text).Decode(); }
