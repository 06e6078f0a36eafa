// Bytes to be written as if joined, gathered without copying what need not
// be: stretches of memory that stays where it is while they are held,
// handed on where they lie, and text of the list's own. Pieces that follow
// each other are joined, so that the system is given few.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rowsift {

class PieceList {
 public:
  // A stretch that stays where it is until the pieces are cleared.
  void AddInPlace(std::string_view bytes) {
    if (bytes.empty()) return;
    if (!pieces_.empty() && !pieces_.back().own &&
        pieces_.back().data + pieces_.back().size == bytes.data()) {
      pieces_.back().size += bytes.size();
    } else {
      pieces_.push_back({bytes.data(), 0, bytes.size(), false});
    }
    bytes_ += bytes.size();
  }

  // Where text of the list's own is appended; call OwnTextAdded() after.
  std::string& OwnText() {
    ownFrom_ = own_.size();
    return own_;
  }
  void OwnTextAdded() {
    const std::size_t size = own_.size() - ownFrom_;
    if (size == 0) return;
    if (!pieces_.empty() && pieces_.back().own &&
        pieces_.back().offset + pieces_.back().size == ownFrom_) {
      pieces_.back().size += size;
    } else {
      pieces_.push_back({nullptr, ownFrom_, size, true});
    }
    bytes_ += size;
  }

  std::size_t Bytes() const { return bytes_; }
  std::size_t Count() const { return pieces_.size(); }

  // The pieces in order; valid until the list changes.
  std::span<const std::string_view> Views() {
    views_.clear();
    for (const Piece& piece : pieces_)
      views_.emplace_back(piece.own ? own_.data() + piece.offset : piece.data, piece.size);
    return views_;
  }

  // Forgets every piece; the memory stays for the next ones.
  void Clear() {
    pieces_.clear();
    own_.clear();
    bytes_ = 0;
  }

 private:
  struct Piece {
    const char* data;    // a stretch where it lies
    std::size_t offset;  // or text in own_, which may move as it grows
    std::size_t size;
    bool own;
  };

  std::vector<Piece> pieces_;
  std::string own_;
  std::size_t ownFrom_ = 0;
  std::vector<std::string_view> views_;
  std::size_t bytes_ = 0;
};

}  // namespace rowsift
