#include "engine/HeaderPattern.h"

#include <cctype>

namespace vex::sim {

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

HeaderPattern::HeaderPattern(std::string_view text) {
  bool optional = false;
  std::string word;
  auto flush = [&] {
    if (word.empty()) return;
    Node node;
    if (word.back() == '#') {
      node.numbered = true;
      word.pop_back();
    }
    for (char c : word) {
      if (std::isupper(static_cast<unsigned char>(c)) ||
          std::isdigit(static_cast<unsigned char>(c)))
        node.short_form += c;
    }
    node.long_form = Upper(word);
    node.optional = optional;
    nodes_.push_back(std::move(node));
    word.clear();
  };
  for (char c : text) {
    if (c == ':') {
      flush();
    } else if (c == '[') {
      flush();
      optional = true;
    } else if (c == ']') {
      flush();
      optional = false;
    } else {
      word += c;
    }
  }
  flush();
}

std::optional<int> HeaderPattern::MatchNode(const Node& node, std::string_view word) {
  std::size_t letters = word.size();
  if (node.numbered) {
    while (letters > 0 && std::isdigit(static_cast<unsigned char>(word[letters - 1]))) --letters;
  }
  const std::string name = Upper(word.substr(0, letters));
  if (name != node.short_form && name != node.long_form) return std::nullopt;
  if (letters == word.size()) return 1;
  const std::string_view digits = word.substr(letters);
  if (digits.size() > 6) return 0;  // absurd; reported as out of range by the caller
  return std::stoi(std::string(digits));
}

std::optional<int> HeaderPattern::MatchWord(std::string_view pattern_word, std::string_view word) {
  HeaderPattern p(pattern_word);
  if (p.nodes_.size() != 1) return std::nullopt;
  return MatchNode(p.nodes_[0], word);
}

bool HeaderPattern::MatchFrom(std::size_t p, const std::vector<std::string>& nodes, std::size_t n,
                              int& suffix) const {
  if (p == nodes_.size()) return n == nodes.size();
  const Node& node = nodes_[p];
  if (n < nodes.size()) {
    if (auto s = MatchNode(node, nodes[n])) {
      int inner = suffix;
      if (MatchFrom(p + 1, nodes, n + 1, inner)) {
        suffix = node.numbered ? *s : inner;
        return true;
      }
    }
  }
  return node.optional && MatchFrom(p + 1, nodes, n, suffix);
}

std::optional<int> HeaderPattern::Match(const std::vector<std::string>& nodes) const {
  int suffix = 1;
  if (!MatchFrom(0, nodes, 0, suffix)) return std::nullopt;
  return suffix;
}

std::string HeaderPattern::Key(int suffix) const {
  std::string key;
  for (const Node& node : nodes_) {
    if (!key.empty()) key += ':';
    key += node.short_form;
    if (node.numbered) key += std::to_string(suffix);
  }
  return key;
}

}  // namespace vex::sim
