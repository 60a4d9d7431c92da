// A command header in SCPI long/short notation, and matching against it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vex::sim {

// Written as in instrument manuals: ":WAVeform:FORMat". Upper-case letters
// are the short form, the whole word the long form; either is accepted in
// any letter case. A trailing '#' marks a numeric suffix (":CHANnel#:DISPlay"
// takes CHAN1, CHANNEL2, or CHAN alone for 1). A node in brackets is
// optional (":TRIGger[:EDGE]:SOURce").
class HeaderPattern {
 public:
  explicit HeaderPattern(std::string_view text);

  // The numeric suffix (1 when the pattern has none or the host left it
  // out) when `nodes` name this header, nothing otherwise.
  std::optional<int> Match(const std::vector<std::string>& nodes) const;

  // Short forms joined by ':' with the suffix written in: "CHAN2:DISP".
  std::string Key(int suffix) const;

  // Whether a single word is this pattern's first node ("CHANnel#" matches
  // "chan3" with suffix 3); used for source arguments such as CHAN1.
  static std::optional<int> MatchWord(std::string_view pattern_word, std::string_view word);

 private:
  struct Node {
    std::string long_form;   // upper case
    std::string short_form;  // upper case
    bool numbered = false;
    bool optional = false;
  };

  static std::optional<int> MatchNode(const Node& node, std::string_view word);
  bool MatchFrom(std::size_t p, const std::vector<std::string>& nodes, std::size_t n,
                 int& suffix) const;

  std::vector<Node> nodes_;
};

}  // namespace vex::sim
