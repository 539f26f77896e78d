// A download page's windows as a test sees them: every call that reached them, in order.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "steps/page_view.h"

namespace testing_support {

class RecordingPageView final : public updater::PageView {
 public:
  using PageView::PageView;

  // "range N", "pos N", "status TEXT", "message TEXT" or "timer", in the order they came.
  std::vector<std::string> calls;

  // The calls of the given kinds, in order.
  std::vector<std::string> Calls(std::initializer_list<std::string_view> kinds) const {
    std::vector<std::string> chosen;
    for (const std::string& call : calls) {
      const std::string_view kind = std::string_view(call).substr(0, call.find(' '));
      if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end()) chosen.push_back(call);
    }
    return chosen;
  }
  // The message texts, in order.
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts = Calls({"message"});
    for (std::string& text : texts) text.erase(0, sizeof("message ") - 1);
    return texts;
  }
  std::size_t Count(std::string_view kind) const { return Calls({kind}).size(); }

 protected:
  void DoSetRange(int32_t upper) override { calls.push_back("range " + std::to_string(upper)); }
  void DoSetPosition(int32_t position) override {
    calls.push_back("pos " + std::to_string(position));
  }
  void DoSetStatusText(const std::string& text) override { calls.push_back("status " + text); }
  void DoSetMessageText(const std::string& text) override { calls.push_back("message " + text); }
  void DoRequestEndTimer() override { calls.push_back("timer"); }
};

}  // namespace testing_support
