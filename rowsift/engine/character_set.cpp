#include "character_set.h"

namespace rowsift {

void CharacterSet::Mark(unsigned first, unsigned last, std::uint8_t kind) {
  for (unsigned byte = first; byte <= last; ++byte) kinds_[byte] |= kind;
}

std::optional<CharacterSet> CharacterSet::ForCodePage(unsigned codePage) {
  CharacterSet set;
  switch (codePage) {
    case 932:  // Japanese, Shift-JIS
      set.Mark(0x81, 0x9F, kLead);
      set.Mark(0xE0, 0xFC, kLead);
      set.Mark(0x40, 0x7E, kTrail);
      set.Mark(0x80, 0xFC, kTrail);
      break;
    case 936:  // Simplified Chinese, GBK
      set.Mark(0x81, 0xFE, kLead);
      set.Mark(0x40, 0x7E, kTrail);
      set.Mark(0x80, 0xFE, kTrail);
      break;
    case 949:  // Korean, Unified Hangul Code
      set.Mark(0x81, 0xFE, kLead);
      set.Mark(0x41, 0x5A, kTrail);
      set.Mark(0x61, 0x7A, kTrail);
      set.Mark(0x81, 0xFE, kTrail);
      break;
    case 950:  // Traditional Chinese, Big5
      set.Mark(0x81, 0xFE, kLead);
      set.Mark(0x40, 0x7E, kTrail);
      set.Mark(0xA1, 0xFE, kTrail);
      break;
    case 51949:  // Korean, EUC-KR
      set.Mark(0xA1, 0xFE, kLead);
      set.Mark(0xA1, 0xFE, kTrail);
      break;
    case 1361:   // Korean, Johab: second bytes from 0x31
    case 20932:  // Japanese, EUC-JP: characters of three bytes
    case 54936:  // Chinese, GB 18030: characters of four bytes
    case 50220:  // the ISO-2022 forms, HZ and UTF-7: shift states
    case 50221:
    case 50222:
    case 50225:
    case 50227:
    case 50229:
    case 52936:
    case 65000:
      return std::nullopt;
    default:
      return set;
  }
  set.doubleByte_ = true;
  return set;
}

bool CharacterStarts::IsStartOfDoubleByteText(std::size_t at) {
  if (at < next_) return false;  // inside the character that ends at next_
  // Far ahead, start again after the last byte that cannot end a character
  // rather than walking every character in between.
  constexpr std::size_t kWalkLimit = 64;
  if (at - next_ > kWalkLimit) {
    for (std::size_t back = at; back > next_; --back) {
      if (static_cast<unsigned char>(text_[back - 1]) < CharacterSet::kLowestTrailByte) {
        next_ = back;
        break;
      }
    }
  }
  while (next_ < at) next_ += characters_.LengthAt(text_, next_);
  return next_ == at;
}

}  // namespace rowsift
