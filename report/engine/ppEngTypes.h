// Band types, band kind flags (the engine's generation state set) and the
// engine's flag set. Each is its own type, so a set of one cannot be passed
// where a set of another is meant.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "report/model/ppTypes.h"

// ---- band types ----

PP_ENUM_CLASS(TppBandType, btHeader, btTitle, btColumnHeader, btGroupHeader, btDetail, btGroupFooter, btColumnFooter,
              btSummary, btFooter, btPageStyle)
constexpr int ppBandTypeCount = 10;
static_assert(cls::EnumCount<TppBandType>() == ppBandTypeCount);

// A 16-bit set of band types (bit = 1 << type).
class TppBandTypes {
 public:
  constexpr TppBandTypes() = default;
  constexpr TppBandTypes(std::initializer_list<TppBandType> types) {
    for (TppBandType t : types) bits_ |= Bit(t);
  }
  constexpr void Include(TppBandType t) { bits_ |= Bit(t); }
  constexpr void Exclude(TppBandType t) { bits_ &= static_cast<uint16_t>(~Bit(t)); }
  constexpr bool Contains(TppBandType t) const { return (bits_ & Bit(t)) != 0; }
  constexpr uint16_t Bits() const { return bits_; }
  constexpr bool operator==(const TppBandTypes& o) const { return bits_ == o.bits_; }

 private:
  static constexpr uint16_t Bit(TppBandType t) { return static_cast<uint16_t>(1u << static_cast<unsigned>(t)); }
  uint16_t bits_ = 0;
};

// Header, detail and footer (273).
constexpr TppBandTypes ppDefaultBandTypes{TppBandType::btHeader, TppBandType::btDetail, TppBandType::btFooter};

// ---- flag sets whose values are their bits ----

template <class E>
class TppFlagSet {
 public:
  constexpr TppFlagSet() = default;
  constexpr TppFlagSet(E flag) : bits_(static_cast<uint16_t>(flag)) {}
  constexpr TppFlagSet(std::initializer_list<E> flags) {
    for (E f : flags) bits_ |= static_cast<uint16_t>(f);
  }
  constexpr void Include(TppFlagSet s) { bits_ |= s.bits_; }
  constexpr void Exclude(TppFlagSet s) { bits_ &= static_cast<uint16_t>(~s.bits_); }
  // Every flag of S is in the set.
  constexpr bool Contains(TppFlagSet s) const { return (bits_ & s.bits_) == s.bits_; }
  // Some flag of S is in the set.
  constexpr bool Intersects(TppFlagSet s) const { return (bits_ & s.bits_) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint16_t Bits() const { return bits_; }
  static constexpr TppFlagSet FromBits(uint16_t b) {
    TppFlagSet s;
    s.bits_ = b;
    return s;
  }
  constexpr TppFlagSet operator|(TppFlagSet o) const { return FromBits(static_cast<uint16_t>(bits_ | o.bits_)); }
  constexpr bool operator==(const TppFlagSet& o) const { return bits_ == o.bits_; }

 private:
  uint16_t bits_ = 0;
};

// Band kinds: a band's bit in the engine's generation state set (the kinds
// that are due). Header and page style share one bit.
enum class TppBandKind : uint16_t {
  bkTitle = 1,
  bkSummary = 2,
  bkHeader = 4,
  bkFooter = 8,
  bkColumnHeader = 16,
  bkColumnFooter = 32,
  bkGroupHeader = 64,
  bkGroupFooter = 128,
  bkDetail = 256,
};
using TppBandKinds = TppFlagSet<TppBandKind>;
constexpr TppBandKinds operator|(TppBandKind a, TppBandKind b) { return TppBandKinds(a) | TppBandKinds(b); }

// The engine's pass and phase flags.
enum class TppEngineFlag : uint16_t {
  efInitialised = 1,
  efFirstPass = 2,
  efSecondPass = 4,
  efNoData = 8,
  efTitle = 16,
  efSummary = 32,
  efSectionPending = 64,
  efSectionGenerating = 128,
  efSectionFinished = 256,
};
using TppEngineFlags = TppFlagSet<TppEngineFlag>;
constexpr TppEngineFlags operator|(TppEngineFlag a, TppEngineFlag b) { return TppEngineFlags(a) | TppEngineFlags(b); }
